#include "platform/base64.h"

#include <cstdint>

namespace platform {
namespace {

// Four characters for three bytes at `in`, written at `out`.
inline void EncodeGroup(const unsigned char* in, char* out) {
    const std::uint32_t group = (std::uint32_t(in[0]) << 16) | (std::uint32_t(in[1]) << 8) | in[2];
    out[0] = kBase64Alphabet[group >> 18];
    out[1] = kBase64Alphabet[(group >> 12) & 63];
    out[2] = kBase64Alphabet[(group >> 6) & 63];
    out[3] = kBase64Alphabet[group & 63];
}

}  // namespace

char* Base64Run(const unsigned char* in, std::size_t size, char* out) {
    std::size_t at = 0;
    for (; at + 3 <= size; at += 3, out += 4) EncodeGroup(in + at, out);
    if (at < size) {
        unsigned char last[3] = {in[at], at + 1 < size ? in[at + 1] : std::uint8_t(0), 0};
        EncodeGroup(last, out);
        if (at + 1 == size) out[2] = '=';
        out[3] = '=';
        out += 4;
    }
    return out;
}

std::string Base64(std::string_view bytes) {
    std::string out((bytes.size() + 2) / 3 * 4, '\0');
    Base64Run(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out.data());
    return out;
}

}  // namespace platform
