// Malformed and hostile requests get an HTTP error and the provider goes
// on serving; many connections at once leave no descriptor behind; silent
// connections are closed after the idle time.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "signed_in_provider.h"

namespace providertest {
namespace {

class Robustness : public SignedInProvider {
protected:
    void SetUp() override { Start({"--idle-timeout", "1"}); }

    bool StillServes() {
        WebmailClient fresh(Client().Port());
        return fresh.SignIn(kTestAccount, kTestPassword) && FolderById(fresh.Folders(), 1) != nullptr;
    }
    int Descriptors() { return CountDescriptors(FindProcessWithData(Provider().DataDir())); }
    // The count once it has stayed the same for a while: connections of
    // earlier requests may still be closing.
    int SteadyDescriptors() {
        int last = Descriptors();
        for (int same = 0, i = 0; same < 5 && i < 200; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            int now = Descriptors();
            same = now == last ? same + 1 : 0;
            last = now;
        }
        return last;
    }
    // Descriptors settle once every connection thread has closed its socket.
    int SettledDescriptors(int expected) {
        int now = Descriptors();
        for (int i = 0; i < 100 && now != expected; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            now = Descriptors();
        }
        return now;
    }
};

TEST_F(Robustness, MalformedRequestsGetAnErrorAndServingGoesOn) {
    const std::string sidQuery = "/a/s?sid=" + Client().Sid() + "&func=mbox:getAllFolders";
    struct Case {
        const char* what;
        std::string request;
        int status;
    } cases[] = {
        {"garbage", "garbage\r\n\r\n", 400},
        {"binary junk", std::string("\x00\x01\x02\xFF\r\n\r\n", 8), 400},
        {"bare line feeds", "GET /pubinfo/Vantlo HTTP/1.1\nHost: x\n\n", 200},
        {"HTTP/2", "GET /pubinfo/Vantlo HTTP/2.0\r\n\r\n", 400},
        {"header without colon", "GET /pubinfo/Vantlo HTTP/1.1\r\nNoColon\r\n\r\n", 400},
        {"unknown path", "GET /etc/passwd HTTP/1.1\r\n\r\n", 404},
        {"path with dots", "GET /pubinfo/../a/s HTTP/1.1\r\n\r\n", 404},
        {"GET on a POST role", "GET " + sidQuery + " HTTP/1.1\r\n\r\n", 405},
        {"POST on a GET role", "POST /pubinfo/Vantlo HTTP/1.1\r\nContent-Length: 0\r\n\r\n", 405},
        {"POST without length", "POST " + sidQuery + " HTTP/1.1\r\n\r\n", 411},
        {"length not a number", "POST " + sidQuery + " HTTP/1.1\r\nContent-Length: abc\r\n\r\n", 400},
        {"negative length", "POST " + sidQuery + " HTTP/1.1\r\nContent-Length: -5\r\n\r\n", 400},
        {"two lengths", "POST " + sidQuery + " HTTP/1.1\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd", 400},
        {"chunked body", "POST " + sidQuery + " HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 501},
        {"body too large", "POST " + sidQuery + " HTTP/1.1\r\nContent-Length: 2000000\r\n\r\n<object/>", 413},
        {"huge header", "GET /pubinfo/Vantlo HTTP/1.1\r\nX-Big: " + std::string(20000, 'x') + "\r\n\r\n", 431},
        {"endless head", "GET /pubinfo/Vantlo HTTP/1.1\r\n" + std::string(40000, 'y'), 431},
    };
    for (const Case& c : cases) {
        RawAnswer answer = Exchange(Client().Port(), c.request, 5000);
        EXPECT_EQ(answer.status, c.status) << c.what << "\n" << answer.head;
        EXPECT_TRUE(answer.closedByServer) << c.what;
        if (c.status == 405) {
            EXPECT_FALSE(answer.Header("Allow").empty()) << c.what;
        }
    }
    EXPECT_TRUE(StillServes());
}

TEST_F(Robustness, ABodyShorterThanItsLengthIsRefused) {
    RawSocket socket(Client().Port());
    socket.Send("POST /a/s?sid=" + Client().Sid() + "&func=mbox:getAllFolders HTTP/1.1\r\nContent-Length: 100\r\n" +
                Client().CookieLine() + "\r\n\r\n<object/>");
    socket.ShutdownSend();
    bool closed = false;
    RawAnswer answer = ParseAnswer(socket.ReadUntilClosed(5000, &closed));
    EXPECT_EQ(answer.status, 400);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(StillServes());
}

TEST_F(Robustness, SilentAndStalledConnectionsAreClosedAfterTheIdleTime) {
    RawSocket silent(Client().Port());
    RawSocket halfHead(Client().Port());
    halfHead.Send("GET /pubinfo/Vantlo HTTP/1.1\r\nHost: x");
    RawSocket halfBody(Client().Port());
    halfBody.Send("POST /a/s?sid=" + Client().Sid() + "&func=mbox:getAllFolders HTTP/1.1\r\nContent-Length: 50\r\n" +
                  Client().CookieLine() + "\r\n\r\n<obj");
    // Meanwhile others are served.
    EXPECT_TRUE(StillServes());
    bool closed = false;
    EXPECT_EQ(silent.ReadUntilClosed(5000, &closed), "");
    EXPECT_TRUE(closed);
    RawAnswer answer = ParseAnswer(halfHead.ReadUntilClosed(5000, &closed));
    EXPECT_TRUE(closed);
    EXPECT_EQ(answer.status, 408);
    halfBody.ReadUntilClosed(5000, &closed);
    EXPECT_TRUE(closed);
}

TEST_F(Robustness, FiftyConnectionsAtOnceLeaveNoDescriptorBehind) {
    ASSERT_GT(FindProcessWithData(Provider().DataDir()), 0);
    const int before = SteadyDescriptors();
    ASSERT_GT(before, 0);
    const std::string request =
        Client().FunctionRequest("mbox:getAllFolders", "<object/>", Client().Sid(), Client().CookieLine());
    {
        // Fifty open at the same time, each answered.
        std::vector<std::unique_ptr<RawSocket>> sockets;
        for (int i = 0; i < 50; ++i) sockets.push_back(std::make_unique<RawSocket>(Client().Port()));
        for (auto& socket : sockets) ASSERT_TRUE(socket->Send(request));
        for (auto& socket : sockets) {
            bool closed = false;
            RawAnswer answer = ParseAnswer(socket->ReadUntilClosed(10000, &closed));
            EXPECT_TRUE(closed);
            EXPECT_EQ(WebmailClient::CodeOf(answer), "S_OK");
        }
    }
    // Fifty threads, each with a run of full exchanges of every kind.
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    const std::string fileId = Client().StoreFile("shared file", "shared.txt");
    for (int t = 0; t < 50; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 4; ++i) {
                RawAnswer folders = Exchange(Client().Port(), request);
                RawAnswer download = Client().Download(fileId);
                RawAnswer junk = Exchange(Client().Port(), "junk " + std::to_string(t) + "\r\n\r\n");
                if (WebmailClient::CodeOf(folders) != "S_OK" || download.body != "shared file" || junk.status != 400)
                    ++failures;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
    // Fifty connections opened and dropped without a word.
    for (int i = 0; i < 50; ++i) RawSocket dropped(Client().Port());
    EXPECT_EQ(SettledDescriptors(before), before);
    EXPECT_TRUE(StillServes());
}

TEST_F(Robustness, AStalledUploadDoesNotHoldOthersUp) {
    const std::string composeId = Client().OpenCompose();
    std::string request = Client().UploadRequest(composeId, std::string(100000, 'u'));
    RawSocket stalled(Client().Port());
    stalled.Send(request.substr(0, request.size() / 2));
    EXPECT_TRUE(StillServes());
    bool closed = false;
    RawAnswer answer = ParseAnswer(stalled.ReadUntilClosed(5000, &closed));
    EXPECT_TRUE(closed);
    EXPECT_EQ(WebmailClient::CodeOf(answer), "FA_INVALID_PARAMETER");
    EXPECT_TRUE(std::filesystem::is_empty(Provider().DataDir() + "/accounts/" + kTestAccount + "/compose"));
}

}  // namespace
}  // namespace providertest
