// Malformed and hostile requests get an HTTP error and the provider goes
// on serving; many clients at once are each served; silent connections
// are closed after the idle time.
#include <atomic>
#include <filesystem>
#include <thread>

#include "signed_in_provider.h"

namespace providertest {
namespace {

class Robustness : public SignedInProvider {
protected:
    void SetUp() override { Start({"--idle-timeout", "1"}); }
    bool StillServes() { return Code(Client().Call("mbox:getAllFolders", "<object/>")) == "S_OK"; }
};

TEST_F(Robustness, MalformedRequestsGetAnErrorAndServingGoesOn) {
    const std::string target = "/a/s?sid=" + Client().Sid() + "&func=mbox:getAllFolders";
    const std::pair<std::string, int> cases[] = {
        {"garbage\r\n\r\n", 400},
        {"GET /pubinfo/Vantlo HTTP/2.0\r\n\r\n", 400},
        {"GET /etc/passwd HTTP/1.1\r\n\r\n", 404},
        {"GET " + target + " HTTP/1.1\r\n\r\n", 405},
        {"POST " + target + " HTTP/1.1\r\n\r\n", 411},
        {"POST " + target + " HTTP/1.1\r\nContent-Length: abc\r\n\r\n", 400},
        {"POST " + target + " HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 501},
        {"POST " + target + " HTTP/1.1\r\nContent-Length: 2000000\r\n\r\n<object/>", 413},
        {"GET /pubinfo/Vantlo HTTP/1.1\r\nX-Big: " + std::string(20000, 'x') + "\r\n\r\n", 431},
        {"GET /pubinfo/Vantlo HTTP/1.1\r\n" + std::string(40000, 'y'), 431},
    };
    for (const auto& [request, status] : cases) {
        RawAnswer answer = Exchange(Client().Port(), request, 5000);
        EXPECT_EQ(answer.status, status) << request.substr(0, 60) << "\n" << answer.head;
        EXPECT_TRUE(answer.closedByServer) << request.substr(0, 60);
    }
    EXPECT_TRUE(StillServes());
}

TEST_F(Robustness, ShortBodiesAndSilentOrStalledConnectionsAreClosed) {
    const std::string head = "POST /a/s?sid=" + Client().Sid() + "&func=mbox:getAllFolders HTTP/1.1\r\n" +
                             Client().CookieLine() + "\r\nContent-Length: ";
    RawSocket shortBody(Client().Port()), silent(Client().Port()), halfHead(Client().Port()), halfBody(Client().Port());
    shortBody.Send(head + "100\r\n\r\n<object/>");
    shortBody.ShutdownSend();
    halfHead.Send("GET /pubinfo/Vantlo HTTP/1.1\r\nHost: x");
    halfBody.Send(head + "50\r\n\r\n<obj");
    const std::string composeId = Client().OpenCompose();
    RawSocket halfUpload(Client().Port());
    const std::string upload = Client().UploadRequest(composeId, std::string(100000, 'u'));
    halfUpload.Send(upload.substr(0, upload.size() / 2));
    EXPECT_TRUE(StillServes());  // meanwhile others are served
    // Each answer, with its status (0: none), and the server closes each connection.
    for (auto [socket, status] : std::initializer_list<std::pair<RawSocket*, int>>{
             {&shortBody, 400}, {&halfHead, 408}, {&halfBody, 400}, {&silent, 0}}) {
        bool closed = false;
        EXPECT_EQ(ParseAnswer(socket->ReadUntilClosed(5000, &closed)).status, status);
        EXPECT_TRUE(closed) << status;
    }
    EXPECT_EQ(Code(ParseAnswer(halfUpload.ReadUntilClosed(5000))), "FA_INVALID_PARAMETER");
    EXPECT_TRUE(std::filesystem::is_empty(AccountDir() + "/compose"));
}

TEST_F(Robustness, FiftyClientsAtOnceAreEachServed) {
    const std::string fileId = Client().StoreFile("shared file", "shared.txt");
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 50; ++t) {
        threads.emplace_back([&, t] {
            RawSocket open(Client().Port());  // one held open the whole time
            for (int i = 0; i < 4; ++i) {
                failures += !StillServes() || Client().Download(fileId).body != "shared file" ||
                            Exchange(Client().Port(), "junk " + std::to_string(t) + "\r\n\r\n").status != 400;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_TRUE(StillServes());
}

}  // namespace
}  // namespace providertest
