#include "imap/mime_text.h"

#include <algorithm>
#include <map>

#include "catalog/format_values.h"

namespace imap {
namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int SextetOf(char c, char slash = '/') {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == slash) return 63;
    return -1;
}

int HexOf(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

void AppendUtf8(std::uint32_t point, std::string& out) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

// Length of the UTF-8 sequence that starts with `lead` (1 for anything else).
std::size_t SequenceLength(unsigned char lead) {
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

// Valid UTF-8 kept, each byte of an invalid sequence as U+FFFD.
std::string MendUtf8(const std::string& bytes) {
    std::string out;
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t length = std::min(SequenceLength(static_cast<unsigned char>(bytes[at])), bytes.size() - at);
        if (catalog::IsUtf8(std::string_view(bytes).substr(at, length))) {
            out.append(bytes, at, length);
            at += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++at;
        }
    }
    return out;
}

std::string PercentDecode(const std::string& text) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '%' && at + 2 < text.size() && HexOf(text[at + 1]) >= 0 && HexOf(text[at + 2]) >= 0) {
            out += static_cast<char>(HexOf(text[at + 1]) * 16 + HexOf(text[at + 2]));
            at += 2;
        } else {
            out += text[at];
        }
    }
    return out;
}

// One encoded word "=?charset?B?text?=" at `at`; false when there is none.
bool DecodeWord(const std::string& value, std::size_t at, std::size_t& end, std::string& text) {
    if (value.compare(at, 2, "=?") != 0) return false;
    std::size_t q1 = value.find('?', at + 2);
    if (q1 == std::string::npos || q1 + 2 >= value.size() || value[q1 + 2] != '?') return false;
    std::size_t close = value.find("?=", q1 + 3);
    if (close == std::string::npos) return false;
    std::string charset = value.substr(at + 2, q1 - at - 2);
    charset = charset.substr(0, charset.find('*'));  // RFC 2231 language suffix
    const char kind = static_cast<char>(value[q1 + 1] | 0x20);
    const std::string encoded = value.substr(q1 + 3, close - q1 - 3);
    std::string bytes;
    if (kind == 'b') {
        Decoder decoder(Coding::Base64);
        if (!decoder.Feed(encoded.data(), encoded.size(), bytes) || !decoder.Finish(bytes)) return false;
    } else if (kind == 'q') {
        for (std::size_t i = 0; i < encoded.size(); ++i) {
            if (encoded[i] == '_') {
                bytes += ' ';
            } else if (encoded[i] == '=' && i + 2 < encoded.size() && HexOf(encoded[i + 1]) >= 0 &&
                       HexOf(encoded[i + 2]) >= 0) {
                bytes += static_cast<char>(HexOf(encoded[i + 1]) * 16 + HexOf(encoded[i + 2]));
                i += 2;
            } else {
                bytes += encoded[i];
            }
        }
    } else {
        return false;
    }
    if (!ToUtf8(charset, bytes, text)) return false;
    end = close + 2;
    return true;
}

bool IsAttributeChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string("!#$&+-.^_`|~").find(static_cast<char>(c)) != std::string::npos;
}

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

bool ToUtf8(const std::string& charset, const std::string& bytes, std::string& utf8) {
    const std::string name = Lower(charset);
    if (name.empty() || name == "utf-8" || name == "utf8" || name == "us-ascii" || name == "ascii") {
        utf8 = MendUtf8(bytes);
        return true;
    }
    if (name == "iso-8859-1" || name == "latin1" || name == "iso_8859-1") {
        utf8.clear();
        for (char c : bytes) AppendUtf8(static_cast<unsigned char>(c), utf8);
        return true;
    }
    return false;
}

std::string DecodeHeader(const std::string& value) {
    std::string out, plain;
    bool afterWord = false;
    for (std::size_t at = 0; at < value.size();) {
        std::size_t end;
        std::string text;
        if (DecodeWord(value, at, end, text)) {
            // White space between two encoded words is not part of the text.
            if (!afterWord || plain.find_first_not_of(" \t") != std::string::npos) out += MendUtf8(plain);
            out += text;
            plain.clear();
            afterWord = true;
            at = end;
            continue;
        }
        if (value[at] != '\r' && value[at] != '\n') plain += value[at];
        if (value[at] != ' ' && value[at] != '\t' && value[at] != '\r' && value[at] != '\n') afterWord = false;
        ++at;
    }
    return out + MendUtf8(plain);
}

std::string EncodeHeader(const std::string& utf8) {
    bool plain = utf8.size() <= 200 && utf8.find("=?") == std::string::npos && utf8.find("  ") == std::string::npos &&
                 (utf8.empty() || (utf8.front() != ' ' && utf8.back() != ' '));
    for (char c : utf8) plain = plain && c >= 0x20 && c <= 0x7E;
    if (plain) return utf8;
    std::string out;
    for (std::size_t at = 0; at < utf8.size();) {
        std::size_t length = 0;
        while (at + length < utf8.size()) {
            std::size_t next = SequenceLength(static_cast<unsigned char>(utf8[at + length]));
            if (length + next > 45) break;
            length += next;
        }
        length = std::max<std::size_t>(length, 1);
        if (!out.empty()) out += "\r\n ";
        out += "=?UTF-8?B?" + Base64(utf8.substr(at, length)) + "?=";
        at += length;
    }
    return out;
}

std::string EncodeParameter(const std::string& name, const std::string& utf8) {
    std::string encoded;
    for (unsigned char c : utf8) {
        if (IsAttributeChar(c) && c != '%') {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += "0123456789ABCDEF"[c >> 4];
            encoded += "0123456789ABCDEF"[c & 15];
        }
    }
    if (encoded.size() <= 60) return ";\r\n " + name + "*=utf-8''" + encoded;
    std::string out;
    for (std::size_t at = 0, section = 0; at < encoded.size(); ++section) {
        std::size_t length = std::min<std::size_t>(60, encoded.size() - at);
        // Never split an escape.
        if (at + length < encoded.size()) {
            std::size_t percent = encoded.rfind('%', at + length - 1);
            if (percent != std::string::npos && percent >= at && percent + 3 > at + length) length = percent - at;
        }
        out += ";\r\n " + name + "*" + std::to_string(section) + "*=" + (section == 0 ? "utf-8''" : "") +
               encoded.substr(at, length);
        at += length;
    }
    return out;
}

std::string ParameterValue(const std::vector<std::pair<std::string, std::string>>& parameters,
                           const std::string& name) {
    std::string plain;
    bool hasPlain = false;
    std::map<unsigned, std::pair<bool, std::string>> sections;  // number -> (extended, value)
    const std::string wanted = Lower(name);
    for (const auto& [attribute, value] : parameters) {
        const std::string key = Lower(attribute);
        if (key == wanted) {
            plain = value;
            hasPlain = true;
            continue;
        }
        if (key.compare(0, wanted.size() + 1, wanted + "*") != 0) continue;
        std::string rest = key.substr(wanted.size() + 1);
        const bool extended = rest.empty() || rest.back() == '*';
        if (!rest.empty() && rest.back() == '*') rest.pop_back();
        unsigned number = 0;
        bool numeric = rest.size() <= 3;
        for (char c : rest) numeric = numeric && c >= '0' && c <= '9', number = number * 10 + (c - '0');
        if (numeric) sections[number] = {extended, value};
    }
    if (sections.empty() || !sections.count(0)) return hasPlain ? DecodeHeader(plain) : std::string();

    std::string charset, bytes;
    for (unsigned number = 0; sections.count(number); ++number) {
        auto [extended, value] = sections[number];
        if (number == 0 && extended) {
            std::size_t first = value.find('\''),
                        second = first == std::string::npos ? first : value.find('\'', first + 1);
            if (second != std::string::npos) {
                charset = value.substr(0, first);
                value = value.substr(second + 1);
            }
        }
        bytes += extended ? PercentDecode(value) : value;
    }
    std::string utf8;
    return ToUtf8(charset, bytes, utf8) ? utf8 : MendUtf8(bytes);
}

std::string EncodeMailboxName(const std::string& utf8) {
    std::string out;
    std::vector<std::uint16_t> units;
    auto flush = [&] {
        if (units.empty()) return;
        std::string bytes;
        for (std::uint16_t unit : units) bytes += static_cast<char>(unit >> 8), bytes += static_cast<char>(unit);
        std::string encoded = Base64(bytes);
        encoded.erase(encoded.find_last_not_of('=') + 1);
        std::replace(encoded.begin(), encoded.end(), '/', ',');
        out += "&" + encoded + "-";
        units.clear();
    };
    for (std::size_t at = 0; at < utf8.size();) {
        unsigned char lead = static_cast<unsigned char>(utf8[at]);
        if (lead >= 0x20 && lead <= 0x7E) {
            flush();
            out += lead == '&' ? "&-" : std::string(1, static_cast<char>(lead));
            ++at;
            continue;
        }
        std::size_t length = std::min(SequenceLength(lead), utf8.size() - at);
        std::uint32_t point = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (std::size_t i = 1; i < length; ++i) point = (point << 6) | (utf8[at + i] & 0x3F);
        at += length;
        if (point >= 0x10000) {
            point -= 0x10000;
            units.push_back(static_cast<std::uint16_t>(0xD800 + (point >> 10)));
            units.push_back(static_cast<std::uint16_t>(0xDC00 + (point & 0x3FF)));
        } else {
            units.push_back(static_cast<std::uint16_t>(point));
        }
    }
    flush();
    return out;
}

bool DecodeMailboxName(const std::string& name, std::string& utf8) {
    utf8.clear();
    for (std::size_t at = 0; at < name.size();) {
        char c = name[at];
        if (c < 0x20 || c > 0x7E) return false;
        if (c != '&') {
            utf8 += c;
            ++at;
            continue;
        }
        std::size_t end = name.find('-', at + 1);
        if (end == std::string::npos) return false;
        if (end == at + 1) {
            utf8 += '&';
            at = end + 1;
            continue;
        }
        std::uint32_t bits = 0, high = 0;
        int count = 0;
        for (std::size_t i = at + 1; i < end; ++i) {
            int sextet = SextetOf(name[i], ',');
            if (sextet < 0) return false;
            bits = (bits << 6) | static_cast<std::uint32_t>(sextet);
            count += 6;
            if (count < 16) continue;
            count -= 16;
            std::uint32_t unit = (bits >> count) & 0xFFFF;
            if (unit >= 0xD800 && unit < 0xDC00 && high == 0) {
                high = unit;
            } else if (unit >= 0xDC00 && unit < 0xE000 && high != 0) {
                AppendUtf8(0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00), utf8);
                high = 0;
            } else if (unit < 0xD800 || unit >= 0xE000) {
                if (high != 0) return false;
                AppendUtf8(unit, utf8);
            } else {
                return false;
            }
        }
        if (high != 0 || count >= 6 || (bits & ((1u << count) - 1)) != 0) return false;
        at = end + 1;
    }
    return true;
}

}  // namespace imap
