#include "imap/header_words.h"

#include <algorithm>
#include <map>

#include "catalog/format_values.h"
#include "imap/text_units.h"
#include "imap/transfer_coding.h"

namespace imap {
namespace {

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

}  // namespace imap
