// Texts in mail headers: charsets to UTF-8, encoded words (RFC 2047) and
// parameter values (RFC 2231).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace imap {

// Text in `charset` as UTF-8; false when the charset is not one we read.
bool ToUtf8(const std::string& charset, const std::string& bytes, std::string& utf8);

// A header value with its encoded words decoded to UTF-8 (bytes that are
// not UTF-8 outside encoded words become U+FFFD).
std::string DecodeHeader(const std::string& value);
// A header value for the UTF-8 text: as it stands when it is plain
// printable ASCII, else as encoded words folded over lines.
std::string EncodeHeader(const std::string& utf8);

// RFC 2231 parameter NAME for a UTF-8 value: `NAME*=utf-8''...`, split into
// numbered sections over folded lines when long. Starts with "; ".
std::string EncodeParameter(const std::string& name, const std::string& utf8);
// The value of parameter `name` among (attribute, value) pairs, joining
// RFC 2231 sections and decoding charsets and encoded words; empty when absent.
std::string ParameterValue(const std::vector<std::pair<std::string, std::string>>& parameters, const std::string& name);

}  // namespace imap
