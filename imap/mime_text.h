// The text codings of mail: base64 and quoted-printable (whole, and as
// decoders fed piece by piece so a part streams through in bounded memory),
// encoded words in headers (RFC 2047), parameter values (RFC 2231) and
// IMAP's modified UTF-7 for folder names.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace imap {

std::string Base64(const std::string& bytes);
// Base64 in lines of 76 characters, each ended by CRLF.
std::string Base64Lines(const char* data, std::size_t size);
// Bytes of Base64Lines for `size` input bytes.
std::uint64_t Base64LinesSize(std::uint64_t size);

enum class Coding { Identity, Base64, QuotedPrintable };
// A Content-Transfer-Encoding's coding; false for one we cannot undo.
bool CodingOf(const std::string& transferEncoding, Coding& coding);

// Undoes a transfer coding piece by piece: feed the pieces in order, then
// Finish. False means the input is not valid in the coding.
class Decoder {
public:
    explicit Decoder(Coding coding) : coding_(coding) {}
    bool Feed(const char* data, std::size_t size, std::string& out);
    bool Finish(std::string& out);

private:
    bool FeedBase64(char c, std::string& out);
    bool FeedQuoted(char c, std::string& out);
    Coding coding_;
    std::uint32_t bits_ = 0;
    int count_ = 0;  // base64: sextets held; quoted-printable: bytes held in pending_
    bool padded_ = false;
    std::string pending_;  // quoted-printable: "=", "=X" or trailing spaces not yet known to be kept
};

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

// Folder names: UTF-8 <-> modified UTF-7. Decoding fails on malformed input.
std::string EncodeMailboxName(const std::string& utf8);
bool DecodeMailboxName(const std::string& name, std::string& utf8);

}  // namespace imap
