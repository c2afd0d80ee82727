#include "session/session_cache.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "platform/private_file.h"

namespace session {
namespace {

constexpr char kVersionLine[] = "vantlo-session: 1";
constexpr std::size_t kLargestCache = 4096;

// The provider the session's requests go to, as the cache names it.
std::string ProviderOf(const Session& session) {
    if (!session.providerOverride.empty()) return session.providerOverride;
    const char* env = std::getenv("VANTLO_PROVIDER");
    return env ? env : "built-in";
}

struct Field {
    const char* key;
    char* cell;
    std::size_t capacity;
};

template <std::size_t N>
Field FieldOf(const char* key, char (&cell)[N]) {
    return {key, cell, N};
}

// The cached fields, in the order they are written.
std::vector<Field> CellsOf(Session& session) {
    return {FieldOf("host", session.host),
            FieldOf("sid", session.sid),
            FieldOf("ntes-sess", session.ntesSessCookie),
            FieldOf("coremail", session.coremailCookie),
            FieldOf("s-info", session.sInfoCookie),
            FieldOf("p-info", session.pInfoCookie),
            FieldOf("account-name", session.accountName)};
}

bool Printable(std::string_view value) {
    for (char c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    return true;
}

}  // namespace

std::string WriteSessionCache(const Session& session, const std::string& account) {
    std::string text = std::string(kVersionLine) + "\naccount: " + account + "\nprovider: " + ProviderOf(session) +
                       "\nscheme: " + (session.hostScheme == Scheme::Https ? "https" : "http") + "\n";
    for (const Field& field : CellsOf(const_cast<Session&>(session)))
        text += std::string(field.key) + ": " + std::string(field.cell, strnlen(field.cell, field.capacity)) + "\n";
    return text;
}

bool ReadSessionCache(std::string_view text, const std::string& account, Session& session) {
    std::map<std::string, std::string> values;
    bool first = true;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return false;  // a cut-off file
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (first && line != kVersionLine) return false;
        std::size_t colon = line.find(": ");
        if (!first && (colon == std::string_view::npos || !Printable(line) ||
                       !values.emplace(std::string(line.substr(0, colon)), std::string(line.substr(colon + 2))).second))
            return false;
        first = false;
    }
    if (first || values["account"] != account || values["provider"] != ProviderOf(session)) return false;
    const std::string scheme = values["scheme"];
    if (scheme != "http" && scheme != "https") return false;
    std::vector<Field> fields = CellsOf(session);
    for (const Field& field : fields) {
        auto found = values.find(field.key);
        if (found == values.end() || found->second.size() >= field.capacity) return false;
    }
    if (values["host"].empty() || values["sid"].empty()) return false;
    for (const Field& field : fields) {
        const std::string& value = values[field.key];
        std::memset(field.cell, 0, field.capacity);
        std::memcpy(field.cell, value.data(), value.size());
    }
    session.hostScheme = scheme == "https" ? Scheme::Https : Scheme::Http;
    return true;
}

bool SaveSessionCache(const std::filesystem::path& file, const Session& session, const std::string& account) {
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    return platform::WritePrivateFile(file, WriteSessionCache(session, account));
}

bool LoadSessionCache(const std::filesystem::path& file, const std::string& account, Session& session) {
    std::string text;
    return platform::ReadPrivateFile(file, kLargestCache, text) && ReadSessionCache(text, account, session);
}

}  // namespace session
