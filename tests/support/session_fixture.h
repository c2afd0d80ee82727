// A Session that looks signed in and talks to a fault server on loopback,
// with short bounds so that a failing test ends quickly (the session tests
// and the webmail store's scripted ones); the request texts the script
// interface sends; coded bodies as servers send them.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
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
        for (auto [cell, text] : {std::pair{s.sInfoCookie, "S_INFO=1|0|s;"},
                                  {s.pInfoCookie, "P_INFO=demo@163.example|1|p;"},
                                  {s.ntesSessCookie, "NTES_SESS=ntes-value;"},
                                  {s.coremailCookie, "Coremail=core-value;"}})
            session::SetCell(cell, 256, text);
        session::SetCell(s.host, server.HostPort());
        session::SetCell(s.sid, kSid);
        session::SetCell(s.accountName, "demo@163.example");
        s.limits.idleTimeoutMs = 5000;
        s.limits.connectAttempts = 1;
    }
    ~SessionTest() override { RemoveTree(dir.string()); }

    // A script request in the short header order (folder list, rename,
    // folder deletion, listing) or the long one (creation, moves, deletion).
    std::string ScriptRequest(const std::string& function, const std::string& body, bool longOrder = false) {
        const std::string host = "Host: " + server.HostPort() + "\r\n",
                          agent = "User-Agent: Ostrel Mail Tools; Unix 7.2\r\n";
        const std::string length = "Content-Length: " + std::to_string(body.size()) + "\r\n",
                          xml = "Content-Type: application/xml\r\n";
        std::string head =
            "POST /a/s?sid=" + std::string(kSid) + "&func=" + function + " HTTP/1.1\r\nAccept: text/javascript\r\n";
        if (longOrder)
            head += xml + "Referer: http://" + server.HostPort() + "/a/j/js3/index.jsp?sid=" + kSid +
                    "\r\nAccept-Language: zh-cn\r\n" + agent + host + length +
                    "Connection: keep-alive\r\nCache-Control: no-cache\r\n";
        else
            head += host + length + xml + agent + "Connection: keep-alive\r\n";
        return head + "Cookie: " + kCookies + "\r\n\r\n" + body;
    }
    std::filesystem::path File(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return dir / name;
    }
};

// `text` deflated with zlib's window bits: 31 for gzip, 15 for zlib.
inline std::string Coded(const std::string& text, int windowBits = 31) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, static_cast<uLong>(text.size())) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_in = static_cast<uInt>(text.size()), z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

}  // namespace testsupport
