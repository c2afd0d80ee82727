// The saved-accounts store against the registry of a fresh Wine prefix.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/text.h"
#include "registry_scratch.h"
#include "signin/password_protection.h"
#include "signin/saved_accounts.h"

using signin::SignInOptions;
using signin::StoreStatus;
using wintest::ReadRaw;
using wintest::WriteRawBinary;
using wintest::WriteRawText;

namespace {

const char kOptionsKey[] = "SOFTWARE\\Vantlo";
const char kAccountKey[] = "SOFTWARE\\Vantlo\\UserList";
const HKEY kUser = HKEY_CURRENT_USER;
const HKEY kMachine = HKEY_LOCAL_MACHINE;
const REGSAM kView32 = KEY_WOW64_32KEY;

struct Loaded {
    StoreStatus status;
    std::vector<std::string> names;
    std::string password;
};

Loaded Load() {
    Loaded loaded;
    char password[signin::kPasswordOutCapacity];
    std::memset(password, 0, sizeof password);
    loaded.status = signin::LoadSavedAccounts(loaded.names, password);
    EXPECT_EQ(password[sizeof password - 1], '\0') << "the password out buffer must stay terminated";
    loaded.password = password;
    return loaded;
}

std::string LookUp(const std::string& account) {
    char password[signin::kPasswordOutCapacity];
    std::memset(password, 0, sizeof password);
    EXPECT_EQ(signin::LookUpSavedPassword(account, password), StoreStatus::Read);
    return password;
}

const SignInOptions kRemember{true, true};
const SignInOptions kRememberInsecure{true, false};
const SignInOptions kDontRemember{false, true};

bool Contains(const std::vector<unsigned char>& data, const std::string& piece) {
    return std::search(data.begin(), data.end(), piece.begin(), piece.end()) != data.end();
}

std::string Utf16Bytes(const std::string& ascii) {
    std::string out;
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

class SavedAccounts : public ::testing::Test {
protected:
    wintest::RegistryScratch scratch_;
};

}  // namespace

TEST_F(SavedAccounts, CleanMachineHasNothingAndLeavesBuffersAlone) {
    std::vector<std::string> names;
    char password[signin::kPasswordOutCapacity];
    std::memset(password, '#', sizeof password - 1);
    password[sizeof password - 1] = '\0';
    EXPECT_EQ(signin::LoadSavedAccounts(names, password), StoreStatus::NoAccountKey);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(signin::LookUpSavedPassword("a@163.example", password), StoreStatus::NoAccountKey);
    EXPECT_EQ(std::string(password), std::string(17, '#'));
    EXPECT_EQ(signin::ReadSavedPassword("a@163.example"), "");
    SignInOptions options = signin::ReadSignInOptions();
    EXPECT_FALSE(options.remember);
    EXPECT_TRUE(options.secure);
}

TEST_F(SavedAccounts, RememberingAThenBListsBFirstWithItsPassword) {
    signin::SaveAccount("pass-a", "a@163.example", kRemember);
    signin::SaveAccount("pass-b", "b@126.example", kRememberInsecure);

    Loaded loaded = Load();
    EXPECT_EQ(loaded.status, StoreStatus::Read);
    EXPECT_EQ(loaded.names, (std::vector<std::string>{"b@126.example", "a@163.example"}));
    EXPECT_EQ(loaded.password, "pass-b");
    EXPECT_EQ(ReadRaw(kUser, kAccountKey, "").Text(), "b@126.example");
    EXPECT_EQ(LookUp("a@163.example"), "pass-a");
    SignInOptions options = signin::ReadSignInOptions();
    EXPECT_TRUE(options.remember);
    EXPECT_FALSE(options.secure);
}

TEST_F(SavedAccounts, SigningInAgainUnrememberedForgetsAndNamesTheNextAccount) {
    signin::SaveAccount("pass-a", "a@163.example", kRemember);
    signin::SaveAccount("pass-b", "b@126.example", kRemember);
    signin::SaveAccount("pass-b", "b@126.example", kDontRemember);

    EXPECT_FALSE(ReadRaw(kUser, kAccountKey, "b@126.example").exists);
    wintest::RawValue last = ReadRaw(kUser, kAccountKey, "");
    EXPECT_EQ(last.Text(), "a@163.example");
    Loaded loaded = Load();
    EXPECT_EQ(loaded.names, (std::vector<std::string>{"a@163.example"}));
    EXPECT_EQ(loaded.password, "pass-a");
    EXPECT_EQ(ReadRaw(kUser, kOptionsKey, "bStorePwd").Text(), "0");
    EXPECT_FALSE(signin::ReadSignInOptions().remember);
}

TEST_F(SavedAccounts, ForgettingTheOnlyAccountLeavesOneEmptyName) {
    signin::SaveAccount("pass-a", "a@163.example", kRemember);
    signin::ForgetAccount("A@163.EXAMPLE");  // matched without regard to case

    wintest::RawValue last = ReadRaw(kUser, kAccountKey, "");
    EXPECT_TRUE(last.exists);
    EXPECT_TRUE(last.data.empty());
    Loaded loaded = Load();
    EXPECT_EQ(loaded.status, StoreStatus::Read);
    EXPECT_EQ(loaded.names, (std::vector<std::string>{""}));
    EXPECT_EQ(loaded.password, "");
}

TEST_F(SavedAccounts, ForgettingAnotherAccountKeepsTheLastOne) {
    signin::SaveAccount("pass-a", "a@163.example", kRemember);
    signin::SaveAccount("pass-b", "b@126.example", kRemember);
    signin::ForgetAccount("a@163.example");
    Loaded loaded = Load();
    EXPECT_EQ(loaded.names, (std::vector<std::string>{"b@126.example"}));
    EXPECT_EQ(loaded.password, "pass-b");
}

TEST_F(SavedAccounts, FirstSignInUnrememberedStoresNothing) {
    signin::SaveAccount("pass-a", "a@163.example", kDontRemember);
    EXPECT_FALSE(wintest::KeyExists(kUser, kOptionsKey));
    SignInOptions options = signin::ReadSignInOptions();
    EXPECT_FALSE(options.remember);
    EXPECT_TRUE(options.secure);
}

TEST_F(SavedAccounts, NamesKeepTheirCaseAndMatchWithoutRegardToIt) {
    signin::SaveAccount("secret", "Mixed.Case@163.example", kRemember);
    EXPECT_EQ(wintest::ValueNames(kUser, kAccountKey), (std::vector<std::string>{"", "Mixed.Case@163.example"}));
    EXPECT_EQ(LookUp("mixed.case@163.EXAMPLE"), "secret");
    Loaded loaded = Load();
    EXPECT_EQ(loaded.names, (std::vector<std::string>{"Mixed.Case@163.example"}));
    EXPECT_EQ(loaded.password, "secret");

    // The last account named in other letters is still the same account.
    WriteRawText(kUser, kAccountKey, "", "MIXED.CASE@163.EXAMPLE");
    loaded = Load();
    EXPECT_EQ(loaded.names, (std::vector<std::string>{"MIXED.CASE@163.EXAMPLE"}));
    EXPECT_EQ(loaded.password, "secret");
}

TEST_F(SavedAccounts, OtherAccountsFollowInEnumerationOrder) {
    for (const char* name : {"c@163.example", "a@126.example", "b@yeah.example"})
        signin::SaveAccount(std::string("pw-") + name, name, kRemember);
    std::vector<std::string> order;
    for (const std::string& name : wintest::ValueNames(kUser, kAccountKey))
        if (!name.empty() && name != "b@yeah.example") order.push_back(name);
    Loaded loaded = Load();
    ASSERT_EQ(loaded.names.size(), 3u);
    EXPECT_EQ(loaded.names[0], "b@yeah.example");
    EXPECT_EQ(std::vector<std::string>(loaded.names.begin() + 1, loaded.names.end()), order);
}

TEST_F(SavedAccounts, NamesAndOptionsAreStoredAsTexts) {
    signin::SaveAccount("pass-a", "a@163.example", kRememberInsecure);
    wintest::RawValue last = ReadRaw(kUser, kAccountKey, "");
    EXPECT_EQ(last.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(last.Text(), "a@163.example");
    for (const char* option : {"bStorePwd", "bUseSecure"})
        EXPECT_EQ(ReadRaw(kUser, kOptionsKey, option).type, static_cast<DWORD>(REG_SZ)) << option;
    EXPECT_EQ(ReadRaw(kUser, kOptionsKey, "bStorePwd").Text(), "1");
    EXPECT_EQ(ReadRaw(kUser, kOptionsKey, "bUseSecure").Text(), "0");
}

TEST_F(SavedAccounts, StoredPasswordIsNotPlainTextAndNothingGoesToTheMachineKey) {
    const std::string password = "plain-sight-42";
    signin::SaveAccount(password, "a@163.example", kRemember);
    wintest::RawValue stored = ReadRaw(kUser, kAccountKey, "a@163.example");
    ASSERT_TRUE(stored.exists);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_FALSE(Contains(stored.data, password));
    EXPECT_FALSE(Contains(stored.data, Utf16Bytes(password)));
    EXPECT_EQ(signin::UnprotectPassword(stored.data).value_or(""), password);
    EXPECT_FALSE(wintest::KeyExists(kMachine, kOptionsKey, kView32));
    EXPECT_FALSE(wintest::KeyExists(kMachine, kOptionsKey, KEY_WOW64_64KEY));
}

TEST_F(SavedAccounts, ChangedProtectedBytesListTheAccountWithoutPassword) {
    signin::SaveAccount("pass-a", "a@163.example", kRemember);
    wintest::RawValue stored = ReadRaw(kUser, kAccountKey, "a@163.example");
    ASSERT_FALSE(stored.data.empty());
    stored.data.back() ^= 0x5A;
    WriteRawBinary(kUser, kAccountKey, "a@163.example", stored.data);
    Loaded loaded = Load();
    EXPECT_EQ(loaded.names, (std::vector<std::string>{"a@163.example"}));
    EXPECT_EQ(loaded.password, "");
    EXPECT_EQ(LookUp("a@163.example"), "");
}

TEST_F(SavedAccounts, PlainTextPasswordOfAnEarlierVersionIsStillRead) {
    WriteRawText(kUser, kAccountKey, "", "old@163.example");
    WriteRawText(kUser, kAccountKey, "old@163.example", "old-pass");
    WriteRawText(kUser, kAccountKey, "other@126.example", "other-pass");
    Loaded loaded = Load();
    EXPECT_EQ(loaded.names, (std::vector<std::string>{"old@163.example", "other@126.example"}));
    EXPECT_EQ(loaded.password, "old-pass");
    EXPECT_EQ(LookUp("other@126.example"), "other-pass");
    EXPECT_EQ(signin::ReadSavedPassword("other@126.example"), "other-pass");
}

TEST_F(SavedAccounts, MachineKeysOfAnEarlierVersionAreReadWhilePerUserKeysAreMissing) {
    WriteRawText(kMachine, kAccountKey, "", "legacy@163.example", kView32);
    WriteRawText(kMachine, kAccountKey, "legacy@163.example", "legacy-pass", kView32);
    WriteRawText(kMachine, kAccountKey, "older@yeah.example", "older-pass", kView32);
    WriteRawText(kMachine, kOptionsKey, "bStorePwd", "1", kView32);
    WriteRawText(kMachine, kOptionsKey, "bUseSecure", "0", kView32);

    Loaded loaded = Load();
    EXPECT_EQ(loaded.status, StoreStatus::Read);
    EXPECT_EQ(loaded.names, (std::vector<std::string>{"legacy@163.example", "older@yeah.example"}));
    EXPECT_EQ(loaded.password, "legacy-pass");
    EXPECT_EQ(LookUp("older@yeah.example"), "older-pass");
    SignInOptions options = signin::ReadSignInOptions();
    EXPECT_TRUE(options.remember);
    EXPECT_FALSE(options.secure);
    EXPECT_FALSE(wintest::KeyExists(kUser, kAccountKey)) << "reading writes nothing";
}

TEST_F(SavedAccounts, FirstChangeCopiesTheEarlierAccountsProtected) {
    WriteRawText(kMachine, kAccountKey, "", "legacy@163.example", kView32);
    WriteRawText(kMachine, kAccountKey, "legacy@163.example", "legacy-pass", kView32);
    WriteRawText(kMachine, kAccountKey, "older@yeah.example", "older-pass", kView32);

    signin::SaveAccount("new-pass", "new@126.example", kRemember);

    Loaded loaded = Load();
    ASSERT_EQ(loaded.names.size(), 3u);
    EXPECT_EQ(loaded.names[0], "new@126.example");
    EXPECT_EQ(loaded.password, "new-pass");
    EXPECT_NE(std::find(loaded.names.begin(), loaded.names.end(), "legacy@163.example"), loaded.names.end());
    EXPECT_NE(std::find(loaded.names.begin(), loaded.names.end(), "older@yeah.example"), loaded.names.end());
    EXPECT_EQ(LookUp("older@yeah.example"), "older-pass");
    wintest::RawValue copied = ReadRaw(kUser, kAccountKey, "older@yeah.example");
    EXPECT_EQ(copied.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_FALSE(Contains(copied.data, "older-pass"));
    // The earlier version's keys are left as they were.
    EXPECT_EQ(ReadRaw(kMachine, kAccountKey, "", kView32).Text(), "legacy@163.example");
}

TEST_F(SavedAccounts, ForgettingWithOnlyEarlierKeysKeepsTheOtherAccounts) {
    WriteRawText(kMachine, kAccountKey, "", "legacy@163.example", kView32);
    WriteRawText(kMachine, kAccountKey, "legacy@163.example", "legacy-pass", kView32);
    WriteRawText(kMachine, kAccountKey, "older@yeah.example", "older-pass", kView32);

    signin::SaveAccount("legacy-pass", "legacy@163.example", kDontRemember);

    Loaded loaded = Load();
    EXPECT_EQ(loaded.names, (std::vector<std::string>{"older@yeah.example"}));
    EXPECT_EQ(loaded.password, "older-pass");
    EXPECT_EQ(ReadRaw(kUser, kOptionsKey, "bStorePwd").Text(), "0");
}

// Values longer than the 64-byte reads and the 18-byte password buffers.
TEST_F(SavedAccounts, LongValuesAreCutOrSkippedNeverOverrun) {
    struct Case {
        const char* what;
        std::string name;
        std::string password;
        bool protect;          // stored as this version stores it, else as plain text
        bool listed;           // offered in the account list
        std::string lookedUp;  // LookUpSavedPassword (17 bytes)
        std::string whole;     // ReadSavedPassword (63 bytes)
    };
    const std::string p17(17, 'q'), p18 = std::string(17, 'r') + "R", p63(63, 's'), p64(64, 't');
    const std::string n63 = std::string(50, 'n') + "@163.example0", n64 = std::string(51, 'm') + "@163.example0";
    ASSERT_EQ(n63.size(), 63u);
    ASSERT_EQ(n64.size(), 64u);
    const Case cases[] = {
        {"17-byte password", "p17@163.example", p17, true, true, p17, p17},
        {"18-byte password is cut", "p18@163.example", p18, true, true, p18.substr(0, 17), p18},
        {"63-byte plain password", "p63@163.example", p63, false, true, p63.substr(0, 17), p63},
        {"64-byte plain password", "p64@163.example", p64, false, false, "", ""},
        {"64-byte protected password", "q64@163.example", p64, true, false, "", ""},
        {"63-byte name", n63, "ok", true, true, "ok", "ok"},
        {"64-byte name", n64, "ok", true, false, "ok", "ok"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        wintest::RegistryScratch::Clear();
        WriteRawText(kUser, kAccountKey, "", "last@163.example");
        if (c.protect)
            WriteRawBinary(kUser, kAccountKey, c.name, signin::ProtectPassword(c.password).value());
        else
            WriteRawText(kUser, kAccountKey, c.name, c.password);
        Loaded loaded = Load();
        bool listed = std::find(loaded.names.begin(), loaded.names.end(), c.name) != loaded.names.end();
        EXPECT_EQ(listed, c.listed);
        EXPECT_EQ(LookUp(c.name), c.lookedUp);
        EXPECT_EQ(signin::ReadSavedPassword(c.name), c.whole);
    }
}

TEST_F(SavedAccounts, LastAccountsLongPasswordIsCutAndLongLastNameIsNotListed) {
    signin::SaveAccount(std::string(30, 'x'), "a@163.example", kRemember);
    EXPECT_EQ(Load().password, std::string(17, 'x'));

    WriteRawText(kUser, kAccountKey, "", std::string(64, 'z'));
    Loaded loaded = Load();
    EXPECT_EQ(loaded.names, (std::vector<std::string>{"a@163.example"}));
    EXPECT_EQ(loaded.password, "");
}

TEST_F(SavedAccounts, DoubleBytePasswordIsCutOnACharacterBoundary) {
    CPINFO info{};
    if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize != 2) GTEST_SKIP() << "the ANSI code page is not double-byte";
    const std::string password = platform::WideToAnsi(L"中文密码中文密码中");  // 9 characters, 18 bytes
    ASSERT_EQ(password.size(), 18u);
    signin::SaveAccount(password, "dbcs@163.example", kRemember);
    EXPECT_EQ(Load().password, password.substr(0, 16));
    EXPECT_EQ(LookUp("dbcs@163.example"), password.substr(0, 16));
    EXPECT_EQ(signin::ReadSavedPassword("dbcs@163.example"), password);
}

TEST_F(SavedAccounts, ChineseAccountNamesRoundTrip) {
    const std::string name = platform::WideToAnsi(L"张三@163.example");
    signin::SaveAccount("pw", name, kRemember);
    Loaded loaded = Load();
    EXPECT_EQ(loaded.names, (std::vector<std::string>{name}));
    EXPECT_EQ(loaded.password, "pw");
}

TEST_F(SavedAccounts, OptionsReadAsStored) {
    struct Case {
        const char* what;
        const char* storePwd;   // nullptr: value missing
        const char* useSecure;  // nullptr: value missing
        bool remember;
        bool secure;
    };
    const std::string longOne(64, '1');
    const Case cases[] = {
        {"both on", "1", "1", true, true},
        {"both off", "0", "0", false, false},
        {"secure missing", "1", nullptr, true, true},
        {"remember missing", nullptr, "0", false, false},
        {"other texts", "x", "yes", false, false},
        {"too long to read", longOne.c_str(), longOne.c_str(), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        wintest::RegistryScratch::Clear();
        WriteRawText(kUser, kOptionsKey, "unrelated", "");
        if (c.storePwd) WriteRawText(kUser, kOptionsKey, "bStorePwd", c.storePwd);
        if (c.useSecure) WriteRawText(kUser, kOptionsKey, "bUseSecure", c.useSecure);
        SignInOptions options = signin::ReadSignInOptions();
        EXPECT_EQ(options.remember, c.remember);
        EXPECT_EQ(options.secure, c.secure);
    }
}
