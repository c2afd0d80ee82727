#include "session_registry.h"

#include <gtest/gtest.h>

#include "atomic_file.h"
#include "provider_process.h"

namespace provider {
namespace {

TEST(SessionRegistry, AWebSessionLivesItsLifetimeFromItsOpeningAcrossARestart) {
    const std::string dir = testsupport::MakeTempDir("vantlo-sessions-");
    const std::int64_t opened = 1767580000000;
    std::string error;
    SessionRegistry registry;
    ASSERT_TRUE(registry.Open(dir + "/sessions.txt", error)) << error;
    registry.SetLifetime(60);
    WebSession web = registry.Enter("a@b.example", false, opened);
    // Reloaded, with a line of an earlier version (no opening time: its life starts at loading).
    std::string text;
    ASSERT_TRUE(ReadWholeFile(dir + "/sessions.txt", text));
    ASSERT_TRUE(WriteFileAtomically(dir + "/sessions.txt", text + "web\tOLD\tCOOKIE\told@b.example\n"));
    SessionRegistry again;
    ASSERT_TRUE(again.Open(dir + "/sessions.txt", error)) << error;
    again.SetLifetime(60);
    EXPECT_EQ(again.AccountOfWebSession(web.sid, web.coremail, opened + 59999).value_or(""), "a@b.example");
    EXPECT_FALSE(again.AccountOfWebSession(web.sid, web.coremail, opened + 60000));
    EXPECT_TRUE(again.AccountOfWebSession("OLD", "COOKIE"));
    testsupport::RemoveTree(dir);
}

}  // namespace
}  // namespace provider
