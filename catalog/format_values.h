// The small values of the stored-file format: file names, hex digests,
// upload ids and UTC times, with the checks every reader and writer share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "catalog/outcome.h"

namespace catalog {

// Well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsUtf8(std::string_view text);

// A name the format can carry on one line: not empty, UTF-8, no CR, LF,
// TAB or NUL. Refused (with a detail saying why) before anything is sent.
Outcome CheckFileName(std::string_view name);

// Exactly `length` lowercase hex digits.
bool IsLowerHex(std::string_view text, std::size_t length);

// A decimal number without sign, spaces or leading zeros, at most `limit`.
bool ParseDecimal(std::string_view text, std::uint64_t limit, std::uint64_t& value);

// 32 lowercase hex digits from 128 bits of the system's random source.
Outcome NewUploadId(std::string& id);
// The first 8 digits of an upload id: the tag in the subjects of its parts.
inline std::string UploadTag(const std::string& uploadId) {
    return uploadId.substr(0, 8);
}

// Days since 1970-01-01 of a proleptic Gregorian date (month 1 to 12, day
// 1 to 31); negative before 1970.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d);

// "YYYY-MM-DDTHH:MM:SSZ" for seconds since 1970 (UTC), years 1970 to 9999.
std::string FormatUtc(std::int64_t seconds);
bool ParseUtc(std::string_view text, std::int64_t& seconds);
std::int64_t UtcNow();

}  // namespace catalog
