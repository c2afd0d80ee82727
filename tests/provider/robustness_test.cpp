// Malformed and hostile requests get an HTTP error and the provider goes
// on serving, also while other connections hang; silent connections are
// closed after the idle time.
#include <filesystem>

#include "session/cells.h"
#include "session/exchange.h"
#include "session/folders.h"
#include "session/http_head.h"
#include "session/upload.h"
#include "signed_in_provider.h"

namespace providertest {
namespace {

class Robustness : public SignedInProvider {
protected:
    void SetUp() override { Start({"--idle-timeout", "1"}); }
    static bool StillServes(session::Session& on) {
        std::vector<session::FolderRow> rows;
        return session::GetAllFolders(on, rows) == session::Status::Ok;
    }
    std::string Target() { return "/a/s?sid=" + std::string(session::CellText(s.sid)) + "&func=mbox:getAllFolders"; }
};

TEST_F(Robustness, MalformedRequestsGetAnErrorAndServingGoesOn) {
    const std::string target = Target();
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
        bool closed = false;
        const std::string answer = RawExchange(Provider().Port(), request, 5000, &closed);
        EXPECT_EQ(session::StatusCode(answer), status) << request.substr(0, 60) << "\n" << answer.substr(0, 200);
        EXPECT_TRUE(closed) << request.substr(0, 60);
    }
    EXPECT_TRUE(StillServes(s));
}

TEST_F(Robustness, ShortBodiesAndSilentOrStalledConnectionsAreClosed) {
    const std::string head = "POST " + Target() + " HTTP/1.1\r\n" + session::CookieLine(s) + "\r\nContent-Length: ";
    const std::uint16_t port = Provider().Port();
    RawConnection shortBody(port), silent(port), halfHead(port), halfBody(port), halfUpload(port);
    shortBody.Send(head + "100\r\n\r\n<object/>");
    shortBody.ShutdownSend();
    halfHead.Send("GET /pubinfo/Vantlo HTTP/1.1\r\nHost: x");
    halfBody.Send(head + "50\r\n\r\n<obj");
    ASSERT_EQ(session::GetComposeId(s), session::Status::Ok);
    const std::string upload = UploadRequest(s, std::string(session::CellText(s.composeId)), std::string(100000, 'u'));
    halfUpload.Send(upload.substr(0, upload.size() / 2));
    EXPECT_TRUE(StillServes(s));  // meanwhile others are served
    // Each answer, with its status (0: none), and the server closes each connection.
    for (auto [connection, status] : std::initializer_list<std::pair<RawConnection*, int>>{
             {&shortBody, 400}, {&halfHead, 408}, {&halfBody, 400}, {&silent, 0}}) {
        bool closed = false;
        EXPECT_EQ(session::StatusCode(connection->Read(5000, &closed)), status);
        EXPECT_TRUE(closed) << status;
    }
    EXPECT_EQ(CodeOf(BodyOf(halfUpload.Read(5000))), "FA_INVALID_PARAMETER");
    EXPECT_TRUE(std::filesystem::is_empty(AccountDir() + "/compose"));
}

}  // namespace
}  // namespace providertest
