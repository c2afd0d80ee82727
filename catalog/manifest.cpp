#include "catalog/manifest.h"

#include "catalog/format_values.h"
#include "catalog/part_mark.h"

namespace catalog {
namespace {

constexpr std::string_view kVersionKey = "vantlo-file";

enum Key {
    kName,
    kSize,
    kSha256,
    kParts,
    kPart,
    kOffset,
    kPartSize,
    kPartSha256,
    kUploadId,
    kStored,
    kModified,
    kKeyCount
};
constexpr std::string_view kKeys[kKeyCount] = {"name",      "size",        "sha256",    "parts",  "part",    "offset",
                                               "part-size", "part-sha256", "upload-id", "stored", "modified"};
// Keys a manifest of version 1 may leave out (added after the first release).
constexpr bool Optional(int key) {
    return key == kModified;
}

// Splits "key: value" (the space after the colon is optional); false for a
// line without a colon.
bool SplitLine(std::string_view line, std::string_view& key, std::string_view& value) {
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return false;
    key = line.substr(0, colon);
    value = line.substr(colon + 1);
    if (!value.empty() && value[0] == ' ') value.remove_prefix(1);
    return true;
}

// Checks the values against each other once each is well-formed on its own.
std::string Inconsistency(const Manifest& m) {
    if (m.part > m.parts) return "part is beyond parts";
    if (m.partSize > kLargestPart) return "part-size reaches 2 GiB";
    if (m.size > std::uint64_t(m.parts) * kLargestPart) return "size is more than its parts can hold";
    if (m.offset > m.size || m.partSize > m.size - m.offset) return "the part reaches beyond the file";
    if (m.parts == 1 && (m.offset != 0 || m.partSize != m.size)) return "a file in one part must cover the file";
    if (m.parts == 1 && m.sha256 != m.partSha256) return "a file in one part has two different digests";
    return {};
}

}  // namespace

// What a listing needs comes first and the name, whose length has no fixed
// bound, last: a listing that brings only the first characters of each text
// still finds the manifest's small keys in it.
std::string WriteManifest(const Manifest& m) {
    std::string text;
    text += "vantlo-file: 1\n";
    text += "size: " + std::to_string(m.size) + "\n";
    text += "parts: " + std::to_string(m.parts) + "\n";
    text += "part: " + std::to_string(m.part) + "\n";
    text += "offset: " + std::to_string(m.offset) + "\n";
    text += "part-size: " + std::to_string(m.partSize) + "\n";
    text += "stored: " + FormatUtc(m.stored) + "\n";
    if (m.modified != 0) text += "modified: " + FormatUtc(m.modified) + "\n";
    text += "sha256: " + m.sha256 + "\n";
    text += "part-sha256: " + m.partSha256 + "\n";
    text += "upload-id: " + m.uploadId + "\n";
    text += "name: " + m.name + "\n";
    return text;
}

ManifestRead ReadManifest(std::string_view text, Manifest& manifest, std::string& problem) {
    std::string_view values[kKeyCount];
    bool seen[kKeyCount] = {};
    bool versionSeen = false;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;

        std::string_view key, value;
        bool split = SplitLine(line, key, value);
        if (!versionSeen) {
            if (!split || key != kVersionKey) return ManifestRead::NotManifest;
            if (value != "1") return ManifestRead::UnknownVersion;
            versionSeen = true;
            continue;
        }
        if (!split) continue;
        for (int k = 0; k < kKeyCount; ++k) {
            if (key != kKeys[k]) continue;
            if (seen[k]) {
                problem = "the key " + std::string(key) + " is repeated";
                return ManifestRead::Malformed;
            }
            seen[k] = true;
            values[k] = value;
        }
    }
    if (!versionSeen) return ManifestRead::NotManifest;
    for (int k = 0; k < kKeyCount; ++k) {
        if (!seen[k] && !Optional(k)) {
            problem = "the key " + std::string(kKeys[k]) + " is missing";
            return ManifestRead::Malformed;
        }
    }

    Manifest m;
    std::uint64_t parts = 0, part = 0;
    m.name = std::string(values[kName]);
    m.sha256 = std::string(values[kSha256]);
    m.partSha256 = std::string(values[kPartSha256]);
    m.uploadId = std::string(values[kUploadId]);
    const std::uint64_t kAny = ~std::uint64_t(0);
    auto bad = [&](Key key) {
        problem = "the value of " + std::string(kKeys[key]) + " is not valid";
        return ManifestRead::Malformed;
    };
    if (!CheckFileName(m.name).Ok()) return bad(kName);
    if (!ParseDecimal(values[kSize], kAny, m.size)) return bad(kSize);
    if (!IsLowerHex(m.sha256, 64)) return bad(kSha256);
    if (!ParseDecimal(values[kParts], kMaxParts, parts) || parts == 0) return bad(kParts);
    if (!ParseDecimal(values[kPart], kMaxParts, part) || part == 0) return bad(kPart);
    if (!ParseDecimal(values[kOffset], kAny, m.offset)) return bad(kOffset);
    if (!ParseDecimal(values[kPartSize], kAny, m.partSize)) return bad(kPartSize);
    if (!IsLowerHex(m.partSha256, 64)) return bad(kPartSha256);
    if (!IsLowerHex(m.uploadId, 32)) return bad(kUploadId);
    if (!ParseUtc(values[kStored], m.stored)) return bad(kStored);
    if (seen[kModified] && !ParseUtc(values[kModified], m.modified)) return bad(kModified);
    m.parts = static_cast<std::uint32_t>(parts);
    m.part = static_cast<std::uint32_t>(part);
    problem = Inconsistency(m);
    if (!problem.empty()) return ManifestRead::Malformed;
    manifest = std::move(m);
    return ManifestRead::Ok;
}

}  // namespace catalog
