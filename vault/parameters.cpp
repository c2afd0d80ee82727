#include "vault/parameters.h"

#include <map>

namespace vault {
namespace {

constexpr std::size_t kMaxParametersText = 4096;
const char* const kKeys[] = {"vantlo-vault", "vault-id", "kdf",         "kdf-memory", "kdf-passes",
                             "kdf-lanes",    "salt",     "wrapped-key", "check"};

bool ParseNumber(const std::string& text, std::uint32_t& value) {
    if (text.empty() || text.size() > 10) return false;
    std::uint64_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (number > 0xffffffffu) return false;
    value = static_cast<std::uint32_t>(number);
    return true;
}

catalog::Outcome Damaged(const std::string& why) {
    return catalog::Failure(catalog::StoreCode::Corrupt, "vault parameters damaged: " + why);
}

bool HexField(const std::map<std::string, std::string>& fields, const char* key, std::size_t length, Bytes& out) {
    return HexBytes(fields.at(key), out) && out.size() == length;
}

}  // namespace

std::string HexText(const Bytes& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

bool HexBytes(std::string_view text, Bytes& bytes) {
    auto value = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    if (text.size() % 2 != 0) return false;
    Bytes out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int high = value(text[i]), low = value(text[i + 1]);
        if (high < 0 || low < 0) return false;
        out.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    bytes = std::move(out);
    return true;
}

std::string FormatParameters(const VaultParameters& p, bool withCheck) {
    std::string text = "vantlo-vault: " + std::to_string(kFormatVersion) + "\n";
    text += "vault-id: " + HexText(p.vaultId) + "\n";
    text += "kdf: argon2id\n";
    text += "kdf-memory: " + std::to_string(p.kdf.memoryKiB) + "\n";
    text += "kdf-passes: " + std::to_string(p.kdf.passes) + "\n";
    text += "kdf-lanes: " + std::to_string(p.kdf.lanes) + "\n";
    text += "salt: " + HexText(p.salt) + "\n";
    text += "wrapped-key: " + HexText(p.wrappedKey) + "\n";
    if (withCheck) text += "check: " + HexText(p.check) + "\n";
    return text;
}

catalog::Outcome ParseParameters(std::string_view text, VaultParameters& parameters) {
    if (text.size() > kMaxParametersText) return Damaged("longer than a vault mail can be");
    std::map<std::string, std::string> fields;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string line(text.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        const std::size_t colon = line.find(": ");
        if (colon == std::string::npos) return Damaged("a line without 'key: value'");
        std::string key = line.substr(0, colon);
        bool known = false;
        for (const char* k : kKeys) known = known || key == k;
        if (!known) return Damaged("unknown key");
        if (!fields.emplace(key, line.substr(colon + 2)).second) return Damaged(key + " given twice");
    }
    for (const char* k : kKeys)
        if (!fields.count(k)) return Damaged(std::string(k) + " missing");
    if (fields["vantlo-vault"] != std::to_string(kFormatVersion))
        return catalog::Failure(catalog::StoreCode::Corrupt, "vault format " + fields["vantlo-vault"].substr(0, 16) +
                                                                 " is not one this version reads");
    if (fields["kdf"] != "argon2id") return Damaged("kdf is not argon2id");
    VaultParameters p;
    if (!ParseNumber(fields["kdf-memory"], p.kdf.memoryKiB) || !ParseNumber(fields["kdf-passes"], p.kdf.passes) ||
        !ParseNumber(fields["kdf-lanes"], p.kdf.lanes))
        return Damaged("a kdf setting is not a number");
    if (std::string problem = KdfSettingsProblem(p.kdf); !problem.empty()) return Damaged(problem);
    if (!HexField(fields, "vault-id", kVaultIdLength, p.vaultId)) return Damaged("vault-id");
    if (!HexField(fields, "salt", kSaltLength, p.salt)) return Damaged("salt");
    if (!HexField(fields, "wrapped-key", kWrappedKeyLength, p.wrappedKey)) return Damaged("wrapped-key");
    if (!HexField(fields, "check", kCheckLength, p.check)) return Damaged("check");
    parameters = std::move(p);
    return catalog::Success();
}

}  // namespace vault
