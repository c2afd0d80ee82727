#include "imap/transfer_coding.h"

#include <algorithm>

#include "imap/text_units.h"
#include "platform/base64.h"

namespace imap {
namespace {

// Each byte's sextet; kSkip for the white space between lines, kOther for
// '=' and everything that is not base64.
constexpr std::uint8_t kSkip = 64, kOther = 65;
struct SextetTable {
    std::uint8_t of[256];
    constexpr SextetTable() : of() {
        for (int c = 0; c < 256; ++c) of[c] = kOther;
        for (int i = 0; i < 64; ++i)
            of[static_cast<unsigned char>(platform::kBase64Alphabet[i])] = static_cast<std::uint8_t>(i);
        of[static_cast<unsigned char>('\r')] = of[static_cast<unsigned char>('\n')] = kSkip;
        of[static_cast<unsigned char>(' ')] = of[static_cast<unsigned char>('\t')] = kSkip;
    }
};
constexpr SextetTable kSextets;

// Four characters at once: each table holds a character's sextet already
// shifted to its place in the group, and a bit above the 24 of a group for
// anything that is not a sextet, so one OR of four lookups decodes a group
// or says it needs the slow path.
constexpr std::uint32_t kNotSextet = 1u << 24;
struct QuadTables {
    std::uint32_t at[4][256];
    constexpr QuadTables() : at() {
        for (int place = 0; place < 4; ++place)
            for (int c = 0; c < 256; ++c)
                at[place][c] = kSextets.of[c] < 64 ? std::uint32_t(kSextets.of[c]) << (18 - 6 * place) : kNotSextet;
    }
};
constexpr QuadTables kQuads;

}  // namespace

std::string Base64Lines(const char* data, std::size_t size) {
    std::string out;
    AppendBase64Lines(data, size, out);
    return out;
}

void AppendBase64Lines(const char* data, std::size_t size, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(Base64LinesSize(size)));
    const auto* in = reinterpret_cast<const unsigned char*>(data);
    char* to = &out[0] + start;
    for (std::size_t at = 0; at < size; at += 57) {
        to = platform::Base64Run(in + at, std::min<std::size_t>(57, size - at), to);
        *to++ = '\r';
        *to++ = '\n';
    }
}

std::uint64_t Base64LinesSize(std::uint64_t size) {
    const std::uint64_t rest = size % 57;
    return size / 57 * 78 + (rest ? (rest + 2) / 3 * 4 + 2 : 0);
}

bool Base64LengthFromEnds(std::uint64_t octets, std::string_view head, std::string_view tail, std::uint64_t& length) {
    const auto sextets = [](std::string_view text) {
        return std::all_of(text.begin(), text.end(),
                           [](char c) { return kSextets.of[static_cast<unsigned char>(c)] < 64; });
    };
    // The first line: the width, and whether lines end in CRLF or LF.
    std::size_t width = head.find('\n');
    if (width == std::string_view::npos || width < 2) return false;
    const std::size_t eol = head[width - 1] == '\r' ? 2 : 1;
    width -= eol - 1;
    if (width % 4 != 0 || !sextets(head.substr(0, width))) return false;
    // The last line (short, padded or not) after a whole one of the same width.
    const std::size_t trailing = tail.size() - (tail.find_last_not_of("\r\n") + 1);
    if (trailing > eol || tail.size() > octets) return false;
    tail.remove_suffix(trailing);
    const std::size_t lastStart = tail.rfind('\n');
    if (lastStart == std::string_view::npos || lastStart + 1 < eol || (eol == 2 && tail[lastStart - 1] != '\r'))
        return false;
    const std::string_view last = tail.substr(lastStart + 1), rest = tail.substr(0, lastStart + 1 - eol);
    const std::size_t previousStart = rest.rfind('\n');
    if (previousStart == std::string_view::npos || rest.size() - previousStart - 1 != width ||
        !sextets(rest.substr(previousStart + 1)))
        return false;
    const std::size_t padding = last.size() - (last.find_last_not_of('=') + 1);
    if (last.size() <= padding || last.size() > width || padding > 2 || !sextets(last.substr(0, last.size() - padding)))
        return false;
    const std::uint64_t lines = octets - trailing - last.size();
    if (lines % (width + eol) != 0) return false;
    const std::uint64_t characters = lines / (width + eol) * width + last.size() - padding;
    if (characters % 4 == 1 || (padding > 0 && (characters + padding) % 4 != 0)) return false;
    length = characters / 4 * 3 + (characters % 4 == 0 ? 0 : characters % 4 - 1);
    return true;
}

bool CodingOf(const std::string& transferEncoding, Coding& coding) {
    const std::string name = Lower(transferEncoding);
    if (name.empty() || name == "7bit" || name == "8bit" || name == "binary")
        coding = Coding::Identity;
    else if (name == "base64")
        coding = Coding::Base64;
    else if (name == "quoted-printable")
        coding = Coding::QuotedPrintable;
    else
        return false;
    return true;
}

bool Decoder::FeedBase64(char c, std::string& out) {
    if (c == '\r' || c == '\n' || c == ' ' || c == '\t') return true;
    if (c == '=') {
        if (padded_) return true;
        padded_ = true;
        if (count_ == 2)
            out += static_cast<char>(bits_ >> 4);
        else if (count_ == 3)
            out += static_cast<char>(bits_ >> 10), out += static_cast<char>(bits_ >> 2);
        else
            return false;
        count_ = 0;
        return true;
    }
    int sextet = SextetOf(c);
    if (sextet < 0 || padded_) return false;
    bits_ = (bits_ << 6) | static_cast<std::uint32_t>(sextet);
    if (++count_ == 4) {
        out += static_cast<char>(bits_ >> 16);
        out += static_cast<char>(bits_ >> 8);
        out += static_cast<char>(bits_);
        count_ = 0;
        bits_ = 0;
    }
    return true;
}

bool Decoder::FeedQuoted(char c, std::string& out) {
    if (!pending_.empty() && pending_[0] == '=') {
        if (pending_ == "=" && (c == '\r' || HexOf(c) >= 0)) return pending_ += c, true;
        if (pending_ == "=" && c == '\n') return pending_.clear(), true;    // soft break (LF alone)
        if (pending_ == "=\r" && c == '\n') return pending_.clear(), true;  // soft break
        if (pending_.size() == 2 && HexOf(pending_[1]) >= 0 && HexOf(c) >= 0) {
            out += static_cast<char>(HexOf(pending_[1]) * 16 + HexOf(c));
            return pending_.clear(), true;
        }
        out += pending_;  // not an escape after all: kept as written
        pending_.clear();
    }
    if (c == ' ' || c == '\t') {
        pending_ += c;  // trailing white space of a line is dropped
        if (pending_.size() > 998) out += pending_, pending_.clear();
        return true;
    }
    if (c == '\r' || c == '\n') {
        pending_.clear();
    } else {
        out += pending_;
        pending_.clear();
    }
    if (c == '=')
        pending_ = "=";
    else
        out += c;
    return true;
}

bool Decoder::Feed(const char* data, std::size_t size, std::string& out) {
    if (coding_ == Coding::Identity) return out.append(data, size), true;
    if (coding_ == Coding::Base64) return FeedBase64Run(data, size, out);
    for (std::size_t i = 0; i < size; ++i)
        if (!FeedQuoted(data[i], out)) return false;
    return true;
}

// Sextets straight into a buffer sized for them; padding and anything not
// base64 go through FeedBase64 one character at a time.
bool Decoder::FeedBase64Run(const char* data, std::size_t size, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + (size / 4 + 1) * 3);
    char* to = &out[0] + start;
    std::uint32_t bits = bits_;
    int count = count_;
    const auto* in = reinterpret_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        // Whole groups between line breaks, the bulk of a part.
        while (count == 0 && !padded_ && size - i >= 4) {
            const std::uint32_t group =
                kQuads.at[0][in[i]] | kQuads.at[1][in[i + 1]] | kQuads.at[2][in[i + 2]] | kQuads.at[3][in[i + 3]];
            if (group & kNotSextet) break;
            to[0] = static_cast<char>(group >> 16);
            to[1] = static_cast<char>(group >> 8);
            to[2] = static_cast<char>(group);
            to += 3;
            i += 4;
        }
        if (i == size) break;
        const std::uint8_t sextet = kSextets.of[static_cast<unsigned char>(data[i])];
        if (sextet < 64 && !padded_) {
            bits = (bits << 6) | sextet;
            if (++count == 4) {
                to[0] = static_cast<char>(bits >> 16);
                to[1] = static_cast<char>(bits >> 8);
                to[2] = static_cast<char>(bits);
                to += 3;
                count = 0;
                bits = 0;
            }
            continue;
        }
        if (sextet == kSkip) continue;
        // Padding or a stray character: the slow path, on the output so far.
        out.resize(static_cast<std::size_t>(to - out.data()));
        bits_ = bits, count_ = count;
        const bool ok = FeedBase64(data[i], out);
        bits = bits_, count = count_;
        const std::size_t at = out.size();
        out.resize(at + ((size - i) / 4 + 1) * 3);
        to = &out[0] + at;
        if (!ok) return out.resize(at), false;
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
    bits_ = bits, count_ = count;
    return true;
}

bool Decoder::Finish(std::string& out) {
    if (coding_ == Coding::QuotedPrintable && !pending_.empty() && pending_[0] == '=') out += pending_;
    pending_.clear();
    if (coding_ != Coding::Base64 || count_ == 0) return true;
    // Base64 that leaves out its padding.
    if (count_ == 2) return out += static_cast<char>(bits_ >> 4), true;
    if (count_ == 3) return out += static_cast<char>(bits_ >> 10), out += static_cast<char>(bits_ >> 2), true;
    return false;
}

}  // namespace imap
