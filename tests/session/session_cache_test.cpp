// The kept session: what is written reads back into a session of the same
// account and provider only; anything damaged, foreign or too long for its
// field is refused whole; the file is the user's alone.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "provider_process.h"
#include "session/session_cache.h"

namespace {

TEST(SessionCache, ReadsBackOnlyWhatBelongsAndFitsAndStaysPrivate) {
    session::Session in;
    in.providerOverride = "127.0.0.1:8080";
    in.hostScheme = session::Scheme::Https;
    std::strcpy(in.host, "127.0.0.1:8080");
    std::strcpy(in.sid, std::string(32, 's').c_str());
    std::strcpy(in.ntesSessCookie, "n'\"<>");
    const std::string text = session::WriteSessionCache(in, "a@163.example");
    // The sid and cookie read back, or "refused" with the session untouched.
    auto read = [](std::string text, const std::string& from, const std::string& to) {
        if (!from.empty()) text.replace(text.find(from), from.size(), to);
        session::Session s;
        s.providerOverride = "127.0.0.1:8080";
        if (!session::ReadSessionCache(text, "a@163.example", s)) return std::string(s.sid) + "refused";
        return std::string(s.sid) + "|" + s.ntesSessCookie + (s.hostScheme == session::Scheme::Https ? "|https" : "");
    };
    EXPECT_EQ(read(text, "", ""), std::string(32, 's') + "|n'\"<>|https");
    const std::pair<std::string, std::string> refused[] = {
        {"a@163.example", "b@163.example"},                 // another account's
        {"127.0.0.1:8080\nscheme", "127.0.0.1:9\nscheme"},  // another provider's
        {"vantlo-session: 1", "vantlo-session: 2"},         // a later version
        {"sid: ssss", "sid: " + std::string(40, 's')},      // longer than its field
        {"sid: ssss", "sid: s\ts"},                         // a control character
        {"\nsid: " + std::string(32, 's'), ""},             // a key missing
        {"\nhost: 127.0.0.1:8080", "\nhost: 1\nhost: 2"},   // a key twice
        {"\naccount-name: \n", "\naccount-name: "},         // cut off
    };
    for (const auto& [from, to] : refused) EXPECT_EQ(read(text, from, to), "refused") << to;

    const std::filesystem::path dir = testsupport::MakeTempDir("vantlo-session-cache-"), file = dir / "sub" / "a";
    ASSERT_TRUE(session::SaveSessionCache(file, in, "a@163.example"));
    EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0600));
    EXPECT_TRUE(session::LoadSessionCache(file, "a@163.example", in));
    ::chmod(file.c_str(), 0640);
    EXPECT_FALSE(session::LoadSessionCache(file, "a@163.example", in)) << "readable by the group: not ours alone";
    testsupport::RemoveTree(dir.string());
}

}  // namespace
