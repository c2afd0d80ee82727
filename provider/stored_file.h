// Files as the client stores them: one mail per part, its subject the
// file's name (with "[part K of N #TAG]" after it when there are several),
// its attachment the part's bytes under the file's name (with ".KKK" when
// there are several), and its text a manifest of "key: value" lines. The
// provider makes such mails for the demo and for seeded folders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace provider {

struct StoredPart {
    std::string subject;
    std::string attachmentName;
    std::string manifest;
    std::string bytes;
};

// `bytes` cut in parts of `partSize` (one part when it fits, also when
// empty), stored at `storedAt` (seconds since the epoch, written in UTC).
std::vector<StoredPart> StoredFileParts(const std::string& name, std::string_view bytes, std::size_t partSize,
                                        std::int64_t storedAt);

// 64 lowercase hex digits.
std::string Sha256Hex(std::string_view bytes);

}  // namespace provider
