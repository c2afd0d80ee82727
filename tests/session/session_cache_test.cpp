// The kept session: what is written reads back into a session of the same
// account and provider only; anything damaged, foreign or too long for its
// field is refused whole; the file is the user's alone.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "provider_process.h"
#include "session/cells.h"
#include "session/session_cache.h"

namespace {

namespace fs = std::filesystem;

void Set(char* cell, std::size_t capacity, const std::string& value) {
    std::memset(cell, 0, capacity);
    std::memcpy(cell, value.data(), std::min(value.size(), capacity - 1));
}

TEST(SessionCache, ReadsBackOnlyWhatBelongsAndFitsAndStaysPrivate) {
    session::Session signedIn;
    signedIn.providerOverride = "127.0.0.1:8080";
    signedIn.hostScheme = session::Scheme::Https;
    Set(signedIn.host, sizeof signedIn.host, "127.0.0.1:8080");
    Set(signedIn.sid, sizeof signedIn.sid, std::string(32, 's'));
    Set(signedIn.coremailCookie, sizeof signedIn.coremailCookie, "abc=; Path=/");
    Set(signedIn.ntesSessCookie, sizeof signedIn.ntesSessCookie, "n'\"<>");
    const std::string text = session::WriteSessionCache(signedIn, "a@163.example");

    auto read = [](const std::string& text, const std::string& account, const std::string& provider) {
        session::Session s;
        s.providerOverride = provider;
        bool ok = session::ReadSessionCache(text, account, s);
        return ok ? std::string(session::CellText(s.sid)) + "|" + std::string(session::CellText(s.ntesSessCookie)) +
                        "|" + (s.hostScheme == session::Scheme::Https ? "https" : "http")
                  : std::string(session::CellText(s.sid)) + "refused";
    };
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string changed = text;
        return changed.replace(changed.find(from), from.size(), to);
    };
    EXPECT_EQ(read(text, "a@163.example", "127.0.0.1:8080"), std::string(32, 's') + "|n'\"<>|https");
    const std::pair<std::string, std::string> refused[] = {
        {"a@163.example", "b@163.example"},                 // another account's
        {"127.0.0.1:8080\nscheme", "127.0.0.1:9\nscheme"},  // another provider's
        {"vantlo-session: 1", "vantlo-session: 2"},         // a later version
        {"sid: ssss", "sid: " + std::string(40, 's')},      // longer than its field
        {"sid: ssss", "sid: s\ts"},                         // a control character
        {"scheme: https", "scheme: gopher"},
        {"\nsid: " + std::string(32, 's'), ""},            // a key missing
        {"\nhost: 127.0.0.1:8080", "\nhost: 1\nhost: 2"},  // a key twice
    };
    for (const auto& [from, to] : refused)
        EXPECT_EQ(read(replaced(from, to), "a@163.example", "127.0.0.1:8080"), "refused") << to;
    EXPECT_EQ(read(text.substr(0, text.size() - 1), "a@163.example", "127.0.0.1:8080"), "refused") << "cut off";

    const fs::path dir = testsupport::MakeTempDir("vantlo-session-cache-");
    const fs::path file = dir / "sub" / "a.session";
    ASSERT_TRUE(session::SaveSessionCache(file, signedIn, "a@163.example"));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    session::Session back;
    back.providerOverride = "127.0.0.1:8080";
    EXPECT_TRUE(session::LoadSessionCache(file, "a@163.example", back));
    ::chmod(file.c_str(), 0640);
    EXPECT_FALSE(session::LoadSessionCache(file, "a@163.example", back)) << "readable by the group: not ours alone";
    testsupport::RemoveTree(dir.string());
}

}  // namespace
