// A Session that looks signed in and talks to a loopback server: the cells
// a sign-in would fill, filled by hand, and the webmail host pointed at the
// given "127.0.0.1:PORT".
#pragma once

#include <string>

#include "session/cells.h"
#include "session/session.h"

namespace testsupport {

constexpr char kTestSid[] = "0123456789abcdef0123456789ABCDEF";
constexpr char kTestCookies[] = "S_INFO=1|0|s;P_INFO=demo@163.example|1|p;NTES_SESS=ntes-value;Coremail=core-value;";

inline void PointSessionAt(session::Session& s, const std::string& hostPort) {
    session::SetCell(s.host, hostPort);
    session::SetCell(s.sid, kTestSid);
    session::SetCell(s.sInfoCookie, "S_INFO=1|0|s;");
    session::SetCell(s.pInfoCookie, "P_INFO=demo@163.example|1|p;");
    session::SetCell(s.ntesSessCookie, "NTES_SESS=ntes-value;");
    session::SetCell(s.coremailCookie, "Coremail=core-value;");
    session::SetCell(s.accountName, "demo@163.example");
    // Short bounds so a failing test ends quickly.
    s.limits.idleTimeoutMs = 5000;
    s.limits.connectAttempts = 1;
}

// The Cookie line as every request carries it.
inline std::string TestCookieLine() {
    return std::string("Cookie: ") + kTestCookies + "\r\n";
}

// The request the script interface is expected to send for `function`, in
// the short header order (folder list, rename, folder deletion, listing).
inline std::string ExpectedShortRequest(const std::string& hostPort, const std::string& function,
                                        const std::string& body) {
    return "POST /a/s?sid=" + std::string(kTestSid) + "&func=" + function +
           " HTTP/1.1\r\n"
           "Accept: text/javascript\r\n"
           "Host: " +
           hostPort +
           "\r\n"
           "Content-Length: " +
           std::to_string(body.size()) +
           "\r\n"
           "Content-Type: application/xml\r\n"
           "User-Agent: Ostrel Mail Tools; Unix 7.2\r\n"
           "Connection: close\r\n" +
           TestCookieLine() + "\r\n" + body;
}

// The same in the long header order (folder creation, moves, message deletion).
inline std::string ExpectedLongRequest(const std::string& hostPort, const std::string& function,
                                       const std::string& body) {
    return "POST /a/s?sid=" + std::string(kTestSid) + "&func=" + function +
           " HTTP/1.1\r\n"
           "Accept: text/javascript\r\n"
           "Content-Type: application/xml\r\n"
           "Referer: http://" +
           hostPort + "/a/j/js3/index.jsp?sid=" + kTestSid +
           "\r\n"
           "Accept-Language: zh-cn\r\n"
           "User-Agent: Ostrel Mail Tools; Unix 7.2\r\n"
           "Host: " +
           hostPort +
           "\r\n"
           "Content-Length: " +
           std::to_string(body.size()) +
           "\r\n"
           "Connection: close\r\n"
           "Cache-Control: no-cache\r\n" +
           TestCookieLine() + "\r\n" + body;
}

}  // namespace testsupport
