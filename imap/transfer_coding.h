// Transfer codings of mail bodies: base64 and quoted-printable, whole and
// as decoders fed piece by piece so that a part streams through in bounded
// memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/base64.h"

namespace imap {

using platform::Base64;
// Base64 in lines of 76 characters, each ended by CRLF.
std::string Base64Lines(const char* data, std::size_t size);
// The same appended to `out`, whose capacity a caller can keep from one
// piece to the next.
void AppendBase64Lines(const char* data, std::size_t size, std::string& out);
// Bytes of Base64Lines for `size` input bytes.
std::uint64_t Base64LinesSize(std::uint64_t size);

// The decoded length of `octets` bytes of base64 from its first and last
// bytes alone, for base64 in lines of one width (as encoders write it):
// the first line gives the width, the last one the rest and the padding.
// False when the ends do not show such lines; the bytes between are not
// checked (reading them checks the length against what arrives).
bool Base64LengthFromEnds(std::uint64_t octets, std::string_view head, std::string_view tail, std::uint64_t& length);

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
    bool FeedBase64Run(const char* data, std::size_t size, std::string& out);
    bool FeedQuoted(char c, std::string& out);
    Coding coding_;
    std::uint32_t bits_ = 0;
    int count_ = 0;  // base64: sextets held; quoted-printable: bytes held in pending_
    bool padded_ = false;
    std::string pending_;  // quoted-printable: "=", "=X" or trailing spaces not yet known to be kept
};

}  // namespace imap
