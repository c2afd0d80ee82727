// The one fixture of the session tests: a Session that looks signed in and
// talks to a fault server on loopback, with short bounds so that a failing
// test ends quickly, and the request texts the script interface sends.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "fault_server.h"
#include "provider_process.h"
#include "session/cells.h"
#include "session/session.h"

namespace testsupport {

constexpr char kSid[] = "0123456789abcdef0123456789ABCDEF";
constexpr char kCookies[] = "S_INFO=1|0|s;P_INFO=demo@163.example|1|p;NTES_SESS=ntes-value;Coremail=core-value;";

struct SessionTest : ::testing::Test {
    FaultServer server;
    session::Session s;
    std::filesystem::path dir = MakeTempDir("vantlo-session-test-");

    SessionTest() {
        session::SetCell(s.host, server.HostPort());
        session::SetCell(s.sid, kSid);
        session::SetCell(s.sInfoCookie, "S_INFO=1|0|s;");
        session::SetCell(s.pInfoCookie, "P_INFO=demo@163.example|1|p;");
        session::SetCell(s.ntesSessCookie, "NTES_SESS=ntes-value;");
        session::SetCell(s.coremailCookie, "Coremail=core-value;");
        session::SetCell(s.accountName, "demo@163.example");
        s.limits.idleTimeoutMs = 5000;
        s.limits.connectAttempts = 1;
    }
    ~SessionTest() override { RemoveTree(dir.string()); }

    // The request of a script function in the short header order (folder
    // list, rename, folder deletion, listing) or the long one (creation,
    // moves, message deletion).
    std::string Script(const std::string& function, const std::string& body, bool longOrder = false) {
        std::string host = server.HostPort(), length = std::to_string(body.size());
        std::string head = "POST /a/s?sid=" + std::string(kSid) + "&func=" + function +
                           " HTTP/1.1\r\nAccept: text/javascript\r\n";
        if (longOrder)
            head += "Content-Type: application/xml\r\nReferer: http://" + host + "/a/j/js3/index.jsp?sid=" + kSid +
                    "\r\nAccept-Language: zh-cn\r\nUser-Agent: Ostrel Mail Tools; Unix 7.2\r\nHost: " + host +
                    "\r\nContent-Length: " + length + "\r\nConnection: close\r\nCache-Control: no-cache\r\n";
        else
            head += "Host: " + host + "\r\nContent-Length: " + length +
                    "\r\nContent-Type: application/xml\r\nUser-Agent: Ostrel Mail Tools; Unix 7.2\r\n"
                    "Connection: close\r\n";
        return head + "Cookie: " + kCookies + "\r\n\r\n" + body;
    }
};

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<long>(bytes.size()));
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(generator() & 0xff);
    return bytes;
}

}  // namespace testsupport
