#include "signin/saved_accounts.h"

#include <cstring>

#include "platform/text.h"
#include "signin/password_protection.h"
#include "signin/registry_key.h"

namespace signin {
namespace {

// Room for a protected password as the data protection writes it (a few
// hundred bytes for a short password); larger data is not ours.
constexpr std::size_t kStoredDataCapacity = 2048;
// Longest text that fits a 64-byte read with its terminating zero.
constexpr std::size_t kStoredTextMax = kStoredTextCapacity - 1;

const std::string kUnnamed;  // the unnamed (default) value

constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;

// Equal without regard to case, as the registry compares names.
bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return a.empty() && b.empty();
    std::wstring wideA = platform::AnsiToWide(a);
    std::wstring wideB = platform::AnsiToWide(b);
    return CompareStringOrdinal(wideA.c_str(), static_cast<int>(wideA.size()), wideB.c_str(),
                                static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
}

// Zero-fills the password out buffer and copies as much of the password as
// fits before the final zero, never splitting a double-byte character.
void CopyPassword(char (&out)[kPasswordOutCapacity], const std::string& text) {
    std::memset(out, 0, kPasswordOutCapacity);
    std::string cut = platform::CutAnsi(text, kPasswordOutCapacity - 1);
    std::memcpy(out, cut.data(), cut.size());
}

enum class PasswordState {
    Ok,
    Missing,
    TooLong,      // longer than any password the sign-in takes
    Undecodable,  // protected bytes that do not open for this user
};

struct StoredPassword {
    PasswordState state = PasswordState::Missing;
    std::string text;
};

// A password value as stored: protected bytes, or plain text from an
// earlier version.
StoredPassword DecodePassword(const RegistryValue& value) {
    StoredPassword password;
    if (value.type == REG_BINARY) {
        std::optional<std::string> plain = UnprotectPassword(value.data);
        if (!plain) return {PasswordState::Undecodable, {}};
        password.text = std::move(*plain);
    } else {
        password.text = ValueText(value);
    }
    if (password.text.size() > kPasswordMax) return {PasswordState::TooLong, {}};
    password.state = PasswordState::Ok;
    return password;
}

StoredPassword ReadPassword(HKEY key, const std::string& account) {
    std::optional<RegistryValue> value = ReadValue(key, account, kStoredDataCapacity);
    if (!value) return {};
    return DecodePassword(*value);
}

// A text value that fits the 64-byte read; nothing when missing or longer.
std::optional<std::string> ReadStoredText(HKEY key, const std::string& name) {
    std::optional<RegistryValue> value = ReadValue(key, name, kStoredTextCapacity);
    if (!value) return std::nullopt;
    std::string text = ValueText(*value);
    if (text.size() > kStoredTextMax) return std::nullopt;
    return text;
}

bool ValueExists(HKEY key, const std::string& name) {
    return RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Writes the password protected; when it cannot be protected nothing is
// kept (never the plain text), and an older password of the name goes.
void WritePassword(HKEY key, const std::string& account, const std::string& password) {
    std::optional<std::vector<unsigned char>> stored = ProtectPassword(password);
    if (!stored || !WriteBinary(key, account, *stored)) RegDeleteValueA(key, account.c_str());
}

// Opens the account key for reading: the per-user key, or while that does
// not exist the key of an earlier version.
LONG OpenForReading(RegistryKey& key) {
    LONG result = key.Open(kStoreRoot, kAccountKeyPath, KEY_READ);
    if (result != ERROR_FILE_NOT_FOUND) return result;
    return key.Open(kLegacyStoreRoot, kAccountKeyPath, KEY_READ | kLegacyView);
}

void CopyLegacyOptions() {
    RegistryKey from, to;
    if (from.Open(kLegacyStoreRoot, kOptionsKeyPath, KEY_READ | kLegacyView) != ERROR_SUCCESS) return;
    if (to.Open(kStoreRoot, kOptionsKeyPath, kReadWrite) != ERROR_SUCCESS) return;
    for (const char* name : {kStorePasswordValue, kUseSecureValue}) {
        std::optional<std::string> text = ReadStoredText(from.Get(), name);
        if (text && !ValueExists(to.Get(), name)) WriteText(to.Get(), name, *text);
    }
}

// Copies what an earlier version remembered into the new per-user key,
// protecting each password on the way.
void CopyLegacyAccounts(HKEY from, HKEY to) {
    if (std::optional<std::string> last = ReadStoredText(from, kUnnamed)) WriteText(to, kUnnamed, *last);
    std::string name;
    RegistryValue value;
    for (DWORD index = 0;; ++index) {
        EnumStep step = EnumValue(from, index, kStoredTextCapacity, kStoredDataCapacity, name, value);
        if (step == EnumStep::End) break;
        if (step == EnumStep::Unusable || name.empty()) continue;
        StoredPassword password = DecodePassword(value);
        if (password.state == PasswordState::Ok) WritePassword(to, name, password.text);
    }
    CopyLegacyOptions();
}

// Opens the per-user account key for a change. `create` makes it when it
// does not exist; without it, it is made only when an earlier version's
// accounts exist, so that the change lands on a copy of them.
bool OpenForWriting(bool create, RegistryKey& key) {
    if (key.Open(kStoreRoot, kAccountKeyPath, kReadWrite) == ERROR_SUCCESS) return true;
    RegistryKey legacy;
    bool hasLegacy = legacy.Open(kLegacyStoreRoot, kAccountKeyPath, KEY_READ | kLegacyView) == ERROR_SUCCESS;
    if (!create && !hasLegacy) return false;
    bool created = false;
    if (key.Create(kStoreRoot, kAccountKeyPath, kReadWrite, created) != ERROR_SUCCESS) return false;
    if (created && hasLegacy) CopyLegacyAccounts(legacy.Get(), key.Get());
    return true;
}

// The first remembered account in enumeration order, if any.
std::optional<std::string> FirstRememberedAccount(HKEY key) {
    std::string name;
    RegistryValue unused;
    for (DWORD index = 0;; ++index) {
        EnumStep step = EnumValue(key, index, kStoredTextCapacity, 0, name, unused);
        if (step == EnumStep::End) return std::nullopt;
        if (step == EnumStep::Value && !name.empty()) return name;
    }
}

}  // namespace

StoreStatus LoadSavedAccounts(std::vector<std::string>& names, char (&passwordOut)[kPasswordOutCapacity]) {
    RegistryKey key;
    LONG opened = OpenForReading(key);
    if (opened == ERROR_FILE_NOT_FOUND) return StoreStatus::NoAccountKey;
    if (opened != ERROR_SUCCESS) return StoreStatus::CannotOpen;

    std::optional<std::string> last = ReadStoredText(key.Get(), kUnnamed);
    if (last) names.push_back(*last);

    std::string name;
    RegistryValue value;
    for (DWORD index = 0;; ++index) {
        EnumStep step = EnumValue(key.Get(), index, kStoredTextCapacity, kStoredDataCapacity, name, value);
        if (step == EnumStep::End) break;
        if (step == EnumStep::Unusable || name.empty()) continue;
        // A password that does not open still names an account worth listing.
        StoredPassword password = DecodePassword(value);
        if (password.state == PasswordState::TooLong) continue;
        if (last && EqualNoCase(name, *last)) {
            CopyPassword(passwordOut, password.text);
            continue;
        }
        names.push_back(name);
    }
    return StoreStatus::Read;
}

StoreStatus LookUpSavedPassword(const std::string& account, char (&passwordOut)[kPasswordOutCapacity]) {
    RegistryKey key;
    LONG opened = OpenForReading(key);
    if (opened == ERROR_FILE_NOT_FOUND) return StoreStatus::NoAccountKey;
    if (opened != ERROR_SUCCESS) return StoreStatus::CannotOpen;
    StoredPassword password = account.empty() ? StoredPassword{} : ReadPassword(key.Get(), account);
    CopyPassword(passwordOut, password.text);
    return StoreStatus::Read;
}

std::string ReadSavedPassword(const std::string& account) {
    RegistryKey key;
    if (account.empty() || OpenForReading(key) != ERROR_SUCCESS) return {};
    return ReadPassword(key.Get(), account).text;
}

SignInOptions ReadSignInOptions() {
    RegistryKey key;
    if (key.Open(kStoreRoot, kOptionsKeyPath, KEY_READ) != ERROR_SUCCESS &&
        key.Open(kLegacyStoreRoot, kOptionsKeyPath, KEY_READ | kLegacyView) != ERROR_SUCCESS)
        return SignInOptions{};
    SignInOptions options;
    options.remember = ReadStoredText(key.Get(), kStorePasswordValue).value_or("") == "1";
    options.secure =
        !ValueExists(key.Get(), kUseSecureValue) || ReadStoredText(key.Get(), kUseSecureValue).value_or("") == "1";
    return options;
}

void SaveAccount(const std::string& password, const std::string& account, const SignInOptions& boxes) {
    if (boxes.remember) {
        RegistryKey key;
        if (!account.empty() && OpenForWriting(true, key)) {
            WriteText(key.Get(), kUnnamed, account);
            WritePassword(key.Get(), account, password);
        }
    } else {
        ForgetAccount(account);
    }
    // The options key is not made here: it exists once an account key has
    // been made below it.
    RegistryKey options;
    if (options.Open(kStoreRoot, kOptionsKeyPath, KEY_SET_VALUE) != ERROR_SUCCESS) return;
    WriteText(options.Get(), kStorePasswordValue, boxes.remember ? "1" : "0");
    WriteText(options.Get(), kUseSecureValue, boxes.secure ? "1" : "0");
}

void ForgetAccount(const std::string& account) {
    // An empty name would be the unnamed value, which is no account.
    if (account.empty()) return;
    RegistryKey key;
    if (!OpenForWriting(false, key)) return;
    std::string last = ReadStoredText(key.Get(), kUnnamed).value_or("");
    RegDeleteValueA(key.Get(), account.c_str());
    if (!EqualNoCase(account, last)) return;
    WriteText(key.Get(), kUnnamed, "");
    if (std::optional<std::string> next = FirstRememberedAccount(key.Get())) WriteText(key.Get(), kUnnamed, *next);
}

}  // namespace signin
