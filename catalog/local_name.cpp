#include "catalog/local_name.h"

#include <array>
#include <cstdint>
#include <cstdio>

#include "catalog/catalog.h"

namespace catalog {
namespace {

// One character of UTF-8 at `at`: its code point and length; length 0 for
// a byte that does not start a well-formed sequence (overlong forms,
// surrogates and values past U+10FFFF included).
struct Decoded {
    std::uint32_t point = 0;
    std::size_t length = 0;
};

Decoded DecodeAt(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return {lead, 1};
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || at + length > text.size()) return {};
    std::uint32_t point = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return {};
        point = point << 6 | (byte(at + i) & 0x3F);
    }
    static constexpr std::array<std::uint32_t, 5> kSmallest{0, 0, 0x80, 0x800, 0x10000};
    if (point < kSmallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return {};
    return {point, length};
}

bool IsControl(std::uint32_t point) {
    return point < 0x20 || (point >= 0x7F && point <= 0x9F);
}

// Marks that reorder or hide the text around them on screen.
bool IsReorderingMark(std::uint32_t point) {
    return point == 0x200E || point == 0x200F || (point >= 0x202A && point <= 0x202E) ||
           (point >= 0x2066 && point <= 0x2069);
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension: Windows
// opens the device instead of a file of that name.
bool IsWindowsDeviceName(std::string_view name) {
    std::string stem;
    for (char c : name.substr(0, name.find('.'))) stem.push_back(LowerAscii(c));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    if (stem == "con" || stem == "prn" || stem == "aux" || stem == "nul") return true;
    return stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) && stem[3] >= '1' &&
           stem[3] <= '9';
}

Outcome Refuse(std::string_view stored, const std::string& why) {
    return Failure(StoreCode::Refused, "the name '" + EscapedName(stored) + "' " + why);
}

}  // namespace

Outcome LocalNameFor(std::string_view stored, std::string& local, LocalNameRules rules) {
    local.clear();
    if (stored.empty()) return Failure(StoreCode::Refused, "the name is empty");
    if (stored == "." || stored == "..") return Refuse(stored, "names a directory, not a file");
    for (std::size_t at = 0; at < stored.size();) {
        const Decoded c = DecodeAt(stored, at);
        if (c.length == 0) return Refuse(stored, "is not UTF-8");
        if (c.point == 0) return Refuse(stored, "holds a NUL, which would cut it short");
        if (c.point == '/' || c.point == '\\') return Refuse(stored, "holds a path separator");
        if (IsControl(c.point)) return Refuse(stored, "holds a control character");
        if (IsReorderingMark(c.point)) return Refuse(stored, "holds a mark that reorders it on screen");
        if (rules == LocalNameRules::Windows && c.point < 0x80 &&
            std::string_view("<>:\"|?*").find(static_cast<char>(c.point)) != std::string_view::npos)
            return Refuse(stored, "holds a character Windows does not allow in a name");
        at += c.length;
    }
    if (rules == LocalNameRules::Windows && (stored.back() == '.' || stored.back() == ' '))
        return Refuse(stored, "ends with a dot or a space, which Windows drops");
    if (rules == LocalNameRules::Windows && IsWindowsDeviceName(stored))
        return Refuse(stored, "is a device name on Windows");
    if (IsTemporaryFileName(stored)) return Refuse(stored, "is kept for the temporary files of downloads");
    local.assign(stored);
    return Success();
}

std::string EscapedName(std::string_view name) {
    std::string shown;
    char escape[16];
    for (std::size_t at = 0; at < name.size();) {
        const Decoded c = DecodeAt(name, at);
        if (c.length == 0 || (c.length == 1 && IsControl(c.point))) {
            const auto byte = static_cast<unsigned char>(name[at]);
            if (byte == 0)
                shown += "\\0";
            else if (byte == '\t')
                shown += "\\t";
            else if (byte == '\r')
                shown += "\\r";
            else if (byte == '\n')
                shown += "\\n";
            else
                std::snprintf(escape, sizeof escape, "\\x%02X", byte), shown += escape;
            ++at;
            continue;
        }
        if (IsControl(c.point) || IsReorderingMark(c.point)) {
            std::snprintf(escape, sizeof escape, "\\u{%04X}", static_cast<unsigned>(c.point));
            shown += escape;
        } else if (c.point == '\\') {
            shown += "\\\\";
        } else {
            shown.append(name.substr(at, c.length));
        }
        at += c.length;
    }
    return shown;
}

bool IsTemporaryFileName(std::string_view name) {
    return ContainsIgnoringAsciiCase(std::string(name), std::string(kPartialSuffix));
}

}  // namespace catalog
