#include "imap/transfer_coding.h"

#include <algorithm>

#include "imap/text_units.h"

namespace imap {
namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

std::string Base64(const std::string& bytes) {
    std::string out;
    for (std::size_t at = 0; at < bytes.size(); at += 3) {
        std::uint32_t group = static_cast<unsigned char>(bytes[at]) << 16;
        if (at + 1 < bytes.size()) group |= static_cast<unsigned char>(bytes[at + 1]) << 8;
        if (at + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[at + 2]);
        out += kAlphabet[(group >> 18) & 63];
        out += kAlphabet[(group >> 12) & 63];
        out += at + 1 < bytes.size() ? kAlphabet[(group >> 6) & 63] : '=';
        out += at + 2 < bytes.size() ? kAlphabet[group & 63] : '=';
    }
    return out;
}

std::string Base64Lines(const char* data, std::size_t size) {
    std::string out;
    out.reserve(static_cast<std::size_t>(Base64LinesSize(size)));
    for (std::size_t at = 0; at < size; at += 57) {
        out += Base64(std::string(data + at, std::min<std::size_t>(57, size - at)));
        out += "\r\n";
    }
    return out;
}

std::uint64_t Base64LinesSize(std::uint64_t size) {
    const std::uint64_t rest = size % 57;
    return size / 57 * 78 + (rest ? (rest + 2) / 3 * 4 + 2 : 0);
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
    for (std::size_t i = 0; i < size; ++i)
        if (!(coding_ == Coding::Base64 ? FeedBase64(data[i], out) : FeedQuoted(data[i], out))) return false;
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
