// The desktop's network drive: the server inside the program answers over
// loopback from the account's stores, the first free letter goes to
// Windows' WebDAV client with the server's path, and unmapping takes both
// away. A letter the client refuses leaves no server behind.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "mainwindow/network_drive.h"
#include "memory_store.h"
#include "platform/text.h"

namespace {

// The whole answer to one request on a connection of its own; "" when none.
std::string Ask(std::uint16_t port, const std::string& request) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(s, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 &&
        send(s, request.data(), static_cast<int>(request.size()), 0) == static_cast<int>(request.size())) {
        char buffer[4096];
        for (int n; (n = recv(s, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, static_cast<std::size_t>(n));
    }
    closesocket(s);
    return answer;
}

TEST(NetworkDrive, ServesTheAccountOnAFreeLetterAndUnmappingTakesBothAway) {
    auto memory = std::make_unique<testsupport::MemoryStore>();
    memory->Add("7", "report.txt", "report bytes");
    catalog::StorePool pool(std::move(memory), 1);
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / L"vantlo-drive-test";
    std::filesystem::remove_all(dir);

    std::wstring letter, remote, dropped;
    mainwindow::DriveLetterCalls calls;
    calls.usedLetters = [] { return (1ul << ('Z' - 'A')) | 0xFul; };  // A: to D: and Z: are taken
    calls.connect = [&](const std::wstring& l, const std::wstring& r) {
        letter = l, remote = r;
        return 0ul;
    };
    calls.disconnect = [&](const std::wstring& l) { dropped = l; };
    calls.fileSizeLimit = [] { return 50000000ul; };  // the client's default
    mainwindow::NetworkDrive drive(dir.wstring(), calls);
    std::string name, error;
    ASSERT_TRUE(drive.Map(pool, name, error)) << error;
    EXPECT_EQ(name, "Y:");
    EXPECT_NE(error.find("50 MB"), std::string::npos) << "the user hears of the client's limit: " << error;
    EXPECT_EQ(letter, L"Y:");
    const std::string url = drive.Url();  // http://127.0.0.1:PORT/TOKEN/
    const std::size_t portAt = url.find(':', 5) + 1, tokenAt = url.find('/', portAt);
    const std::string port = url.substr(portAt, tokenAt - portAt),
                      token = url.substr(tokenAt + 1, url.size() - tokenAt - 2);
    EXPECT_EQ(remote, platform::Utf8ToWide("\\\\127.0.0.1@" + port + "\\DavWWWRoot\\" + token));
    const auto number = static_cast<std::uint16_t>(std::stoi(port));
    const std::string get =
        "GET /" + token + "/files/report.txt HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    const std::string answer = Ask(number, get);
    EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer;
    EXPECT_EQ(answer.substr(answer.size() - 12), "report bytes");

    drive.Unmap();
    EXPECT_EQ(dropped, L"Y:");
    EXPECT_EQ(drive.Url(), "");
    EXPECT_EQ(Ask(number, get), "") << "the server stopped with the letter";

    calls.connect = [](const std::wstring&, const std::wstring&) { return 67ul; };  // ERROR_BAD_NET_NAME
    mainwindow::NetworkDrive refused(dir.wstring(), calls);
    EXPECT_FALSE(refused.Map(pool, name, error));
    EXPECT_NE(error.find("WebClient"), std::string::npos) << error;
    EXPECT_EQ(refused.Url(), "");
}

}  // namespace
