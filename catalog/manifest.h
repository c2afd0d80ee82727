// The manifest: the text body of every mail that holds a part, in plain
// "key: value" lines, so that a file can be put together by hand from
// webmail. Readers take the keys in any order and skip keys (and lines)
// they do not know, so later versions can add keys.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace catalog {

constexpr std::uint64_t kLargestPart = (std::uint64_t(1) << 31) - 1;  // parts stay below 2 GiB

struct Manifest {
    std::string name;
    std::uint64_t size = 0;  // the whole file
    std::string sha256;      // of the whole file, 64 lowercase hex digits
    std::uint32_t parts = 1;
    std::uint32_t part = 1;
    std::uint64_t offset = 0;
    std::uint64_t partSize = 0;
    std::string partSha256;
    std::string uploadId;     // 32 lowercase hex digits, the same in every part
    std::int64_t stored = 0;  // UTC seconds when the upload began
    // UTC seconds: the file's own modification time where it had one (an
    // optional key, absent in manifests of earlier versions: 0 then).
    std::int64_t modified = 0;
};

std::string WriteManifest(const Manifest& manifest);

enum class ManifestRead {
    Ok,
    NotManifest,     // the text is not a manifest: a mail stored some other way
    UnknownVersion,  // a manifest of a version this reader does not know
    Malformed,       // a version 1 manifest with keys missing, repeated or out of range
};

// Fills `manifest` only on Ok; `problem` says what is wrong when Malformed.
ManifestRead ReadManifest(std::string_view text, Manifest& manifest, std::string& problem);

}  // namespace catalog
