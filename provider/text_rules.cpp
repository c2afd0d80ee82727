#include "text_rules.h"

namespace provider {

namespace {

bool IsAsciiLetterOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t extra;
        unsigned long codePoint;
        if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            codePoint = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            codePoint = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (text.size() - i <= extra) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((extra == 2 && codePoint < 0x800) || (extra == 3 && codePoint < 0x10000)) return false;
        if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return false;
        if (codePoint > 0x10FFFF) return false;
        i += extra + 1;
    }
    return true;
}

bool HasControlCharacter(std::string_view text) {
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return true;
    }
    return false;
}

std::string ToLowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ToLowerAscii(a) == ToLowerAscii(b);
}

bool IsValidAddress(std::string_view address) {
    if (address.empty() || address.size() > kMaxAddressBytes) return false;
    std::size_t at = address.find('@');
    if (at == std::string_view::npos || at == 0 || at + 1 == address.size()) return false;
    for (std::size_t i = 0; i < address.size(); ++i) {
        char c = address[i];
        if (i == at) continue;
        bool allowed = IsAsciiLetterOrDigit(c) || c == '.' || c == '-' || (i < at && (c == '_' || c == '+'));
        if (!allowed) return false;
    }
    return true;
}

bool IsValidFolderName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxFolderNameBytes && IsValidUtf8(name) && !HasControlCharacter(name);
}

bool IsValidSubject(std::string_view subject) {
    return subject.size() <= kMaxSubjectBytes && IsValidUtf8(subject) && !HasControlCharacter(subject);
}

std::string AddressOfRecipient(std::string_view recipient) {
    std::size_t open = recipient.rfind('<');
    if (open != std::string_view::npos) {
        std::size_t close = recipient.find('>', open);
        if (close != std::string_view::npos) return std::string(Trim(recipient.substr(open + 1, close - open - 1)));
    }
    return std::string(Trim(recipient));
}

std::string_view TrimSpacesAndTabs(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace provider
