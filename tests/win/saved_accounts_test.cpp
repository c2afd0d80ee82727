// The saved-accounts store in the registry of a fresh Wine prefix.
#include "signin/saved_accounts.h"
#include "platform/text.h"
#include "signin/signin_flow.h"
#include "win_support.h"

namespace {

const char kAccountKey[] = "SOFTWARE\\Vantlo\\UserList";

// The names listed and the password of the last account.
std::pair<std::vector<std::string>, std::string> Load() {
    std::pair<std::vector<std::string>, std::string> loaded;
    char password[signin::kPasswordOutCapacity] = {};
    signin::LoadSavedAccounts(loaded.first, password);
    loaded.second = password;
    return loaded;
}

void WriteRaw(HKEY root, REGSAM view, const std::string& name, DWORD type, const std::string& data) {
    HKEY key = nullptr;
    RegCreateKeyExA(root, kAccountKey, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
    RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

TEST(SavedAccounts, TheLastAccountComesFirstAndForgettingNamesTheNext) {
    wintest::RegistryScratch scratch;
    EXPECT_FALSE(signin::ReadSignInOptions().remember) << "the defaults on a clean machine";
    EXPECT_TRUE(signin::ReadSignInOptions().secure);
    const struct {
        const char* account;
        bool remember;
        std::vector<std::string> names;
        const char* password;
    } steps[] = {
        {"a@163.example", false, {}, ""},  // nothing is stored unremembered
        {"a@163.example", true, {"a@163.example"}, "pw-a@163.example"},
        {"B@126.example", true, {"B@126.example", "a@163.example"}, "pw-B@126.example"},
        {"b@126.example", false, {"a@163.example"}, "pw-a@163.example"},  // names match in any case
        {"a@163.example", false, {""}, ""},                               // the last one gone: one empty name
    };
    for (const auto& step : steps) {
        signin::SaveAccount(std::string("pw-") + step.account, step.account, {step.remember, false});
        EXPECT_EQ(Load(), std::make_pair(step.names, std::string(step.password))) << step.account;
    }
    EXPECT_FALSE(signin::ReadSignInOptions().secure) << "stored at the sign-ins once the key was made";
}

TEST(SavedAccounts, PasswordsAreStoredProtectedAndOldPlainTextsTakenOver) {
    wintest::RegistryScratch scratch;
    WriteRaw(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, "", REG_SZ, "old@163.example");
    WriteRaw(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, "old@163.example", REG_SZ, "old-pass");
    EXPECT_EQ(Load(), std::make_pair(std::vector<std::string>{"old@163.example"}, std::string("old-pass")));
    signin::SaveAccount("new-pass", "new@126.example", {true, true});
    EXPECT_EQ(Load().first, (std::vector<std::string>{"new@126.example", "old@163.example"}));
    char data[2048] = {};
    DWORD type = 0, size = sizeof data;
    ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, kAccountKey, "old@163.example", RRF_RT_ANY, &type, data, &size), 0);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(std::string(data, size).find("old-pass"), std::string::npos) << "copied, and no longer plain text";
    char password[signin::kPasswordOutCapacity] = {};
    signin::LookUpSavedPassword("old@163.example", password);
    EXPECT_STREQ(password, "old-pass");

    // Long values are cut or skipped, never read past; a double-byte
    // character is never cut in half.
    signin::SaveAccount(std::string(40, 'p'), "new@126.example", {true, true});
    EXPECT_EQ(Load().second, std::string(17, 'p'));
    std::string chinese = platform::WideToAnsi(L"密码密码密码密码密码");
    ASSERT_EQ(chinese.size(), 20u) << "the tests run with the GBK code page";
    signin::SaveAccount(chinese, "new@126.example", {true, true});
    EXPECT_EQ(Load().second, chinese.substr(0, 16));
    // Every password the sign-in button takes is remembered whole; a longer
    // one (never from the window) is not read.
    const std::pair<std::size_t, bool> lengths[] = {
        {63, true}, {64, true}, {signin::kPasswordMax, true}, {signin::kPasswordMax + 1, false}};
    for (const auto& [length, kept] : lengths) {
        signin::SaveAccount(std::string(length, 'q'), "long@163.example", {true, true});
        EXPECT_EQ(signin::ReadSavedPassword("long@163.example"), kept ? std::string(length, 'q') : "") << length;
    }
    WriteRaw(HKEY_CURRENT_USER, 0, std::string(70, 'n'), REG_SZ, "x");
    EXPECT_EQ(Load().first.size(), 3u) << "a name over 63 bytes is not listed";
}

}  // namespace
