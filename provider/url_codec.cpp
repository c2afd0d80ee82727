#include "url_codec.h"

#include "text_rules.h"

namespace provider {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string PercentDecode(std::string_view text, bool plusIsSpace) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%' && i + 2 < text.size()) {
            int high = HexValue(text[i + 1]);
            int low = HexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.push_back(plusIsSpace && c == '+' ? ' ' : c);
    }
    return out;
}

FieldList ParseFields(std::string_view text, bool plusIsSpace) {
    FieldList fields;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('&', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view piece = text.substr(start, end - start);
        if (!piece.empty()) {
            std::size_t equals = piece.find('=');
            if (equals == std::string_view::npos)
                fields.emplace_back(PercentDecode(piece, plusIsSpace), std::string());
            else
                fields.emplace_back(PercentDecode(piece.substr(0, equals), plusIsSpace),
                                    PercentDecode(piece.substr(equals + 1), plusIsSpace));
        }
        start = end + 1;
    }
    return fields;
}

const std::string* FindField(const FieldList& fields, std::string_view name) {
    for (const auto& field : fields)
        if (field.first == name) return &field.second;
    return nullptr;
}

FieldList ParseCookies(std::string_view cookieLine) {
    FieldList cookies;
    std::size_t start = 0;
    while (start < cookieLine.size()) {
        std::size_t end = cookieLine.find(';', start);
        if (end == std::string_view::npos) end = cookieLine.size();
        std::string_view piece = TrimSpacesAndTabs(cookieLine.substr(start, end - start));
        std::size_t equals = piece.find('=');
        if (!piece.empty() && equals != std::string_view::npos && equals > 0)
            cookies.emplace_back(std::string(TrimSpacesAndTabs(piece.substr(0, equals))),
                                 std::string(TrimSpacesAndTabs(piece.substr(equals + 1))));
        start = end + 1;
    }
    return cookies;
}

std::string PercentEncode(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '.' || c == '_' || c == '~';
        if (plain) {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[u >> 4]);
            out.push_back(kHex[u & 0x0F]);
        }
    }
    return out;
}

}  // namespace provider
