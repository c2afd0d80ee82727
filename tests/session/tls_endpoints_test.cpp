// Where the session speaks TLS: the provider override, the built-in table,
// the webmail host's scheme from the sign-in, and the texts that carry it.
#include <gtest/gtest.h>

#include <string>

#include "session/script_request.h"
#include "session/signin.h"

namespace {

using namespace session;

TEST(TlsEndpoints, SignInServersSpeakTlsAndTheOverrideDecides) {
    Session s;
    s.caFile = "/ca.pem";
    Endpoint builtIn = FixedEndpoint(s, kSignInHost, kSignInAddress, kSignInScheme);
    EXPECT_TRUE(builtIn.scheme == Scheme::Https && builtIn.port == kHttpsPort);
    EXPECT_EQ(builtIn.certificateName, kSignInHost);  // not the address dialled
    EXPECT_EQ(builtIn.caFile, "/ca.pem");
    EXPECT_NE(BuildSignInRequest(s, "a@163.example", 1, "pw").find("&url=https://entry.163.example/"),
              std::string::npos);

    s.providerOverride = "https://localhost:8443";
    Endpoint notice = FixedEndpoint(s, kNoticeHost, kNoticeAddresses[0]);
    EXPECT_TRUE(notice.scheme == Scheme::Https && notice.port == 8443 && notice.certificateName == "localhost");
    EXPECT_EQ(notice.hostLine, kNoticeHost);
    s.providerOverride = "127.0.0.1:8080";
    EXPECT_NE(BuildSignInRequest(s, "a@163.example", 1, "pw").find("&url=http://entry.163.example/"),
              std::string::npos);
    // An override without its port, with a path or of another scheme is no override.
    Scheme scheme;
    std::string host;
    std::uint16_t port = 0;
    for (const char* text : {"https://127.0.0.1", "https://h:1/path", "ftp://h:1"})
        EXPECT_FALSE(ParseProviderOverride(text, scheme, host, port)) << text;
}

TEST(TlsEndpoints, TheWebmailHostIsReadAfterEitherSchemeAndKeepsIt) {
    const std::string head =
        "HTTP/1.1 302 Found\r\nSet-Cookie: Coremail=14charsprefix1ABCDEFGHIJKLMNOPQRSTUVWXYZ012345%x;"
        "\r\nLocation: ";
    struct Case {
        const char* location;
        Status result;
        const char* host;
        Scheme scheme;
        std::uint16_t port;
    } cases[] = {
        {"https://127.0.0.1:8443/coremail/", Status::Ok, "127.0.0.1:8443", Scheme::Https, 8443},
        {"HTTPS://mail.example/x", Status::Ok, "mail.example", Scheme::Https, kHttpsPort},
        {"http://mail.example/x", Status::Ok, "mail.example", Scheme::Http, kHttpPort},
        {"ftp://mail.example/x", Status::Unreadable, "", Scheme::Http, 0},
    };
    for (const Case& c : cases) {
        Session s;
        ASSERT_EQ(ReadEntryAnswer(s, head + c.location + "\r\n\r\n"), c.result) << c.location;
        if (c.result != Status::Ok) continue;
        Endpoint webmail = WebmailEndpoint(s);
        EXPECT_TRUE(webmail.hostLine == c.host && webmail.scheme == c.scheme && webmail.port == c.port) << c.location;
        std::string referer = std::string("Referer: ") + SchemeName(c.scheme) + "://" + c.host + "/a/j/";
        EXPECT_NE(ScriptRequest(s, "mbox:f", HeaderOrder::Long, "", 10, 1024).Text().find(referer), std::string::npos);
    }
}

}  // namespace
