#include "imap/mailbox_name.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "imap/text_units.h"
#include "imap/transfer_coding.h"

namespace imap {

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

std::string LevelOfName(const std::string& name, char delimiter) {
    static const std::string kFullwidthSolidus = "\xEF\xBC\x8F";  // ／
    std::string level;
    for (char c : name) {
        if (c == '/' || (delimiter != 0 && c == delimiter))
            level += kFullwidthSolidus;
        else
            level.push_back(c);
    }
    return level;
}

MailboxPath SplitMailboxPath(const std::string& path, char delimiter) {
    const std::size_t at = delimiter == 0 ? std::string::npos : path.rfind(delimiter);
    if (at == std::string::npos) return {"", path};
    return {path.substr(0, at), path.substr(at + 1)};
}

}  // namespace imap
