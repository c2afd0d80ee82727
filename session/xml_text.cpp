#include "session/xml_text.h"

namespace session {

std::string XmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out.push_back(c); break;
        }
    }
    return out;
}

namespace {
// Length of the well-formed UTF-8 sequence at text[i], 0 when it is not one.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    if (lead < 0x80) return 1;
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    unsigned char second = byte(i + 1);
    if (lead == 0xE0 && second < 0xA0) return 0;  // overlong
    if (lead == 0xED && second > 0x9F) return 0;  // surrogates
    if (lead == 0xF0 && second < 0x90) return 0;  // overlong
    if (lead == 0xF4 && second > 0x8F) return 0;  // past U+10FFFF
    return length;
}
}  // namespace

bool IsCleanText(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) return false;
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (length == 1 && (c < 0x20 || c == 0x7F)) return false;
        i += length;
    }
    return true;
}

}  // namespace session
