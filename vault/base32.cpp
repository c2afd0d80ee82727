#include "vault/base32.h"

namespace vault {
namespace {

constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz234567";

int DigitValue(char c) {
    if (c >= 'a' && c <= 'z') return c - 'a';
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= '2' && c <= '7') return c - '2' + 26;
    return -1;
}

}  // namespace

std::string Base32Text(const Bytes& bytes) {
    std::string text;
    text.reserve((bytes.size() * 8 + 4) / 5);
    unsigned buffer = 0;
    int bits = 0;
    for (std::uint8_t b : bytes) {
        buffer = (buffer << 8) | b;
        bits += 8;
        while (bits >= 5) {
            text += kAlphabet[(buffer >> (bits - 5)) & 31];
            bits -= 5;
        }
    }
    if (bits > 0) text += kAlphabet[(buffer << (5 - bits)) & 31];
    return text;
}

bool Base32Bytes(std::string_view text, Bytes& bytes) {
    // 2, 4, 5, 7 digits end a 5-byte group; 1, 3, 6 cannot.
    const std::size_t tail = text.size() % 8;
    if (tail == 1 || tail == 3 || tail == 6) return false;
    Bytes out;
    out.reserve(text.size() * 5 / 8);
    unsigned buffer = 0;
    int bits = 0;
    for (char c : text) {
        const int value = DigitValue(c);
        if (value < 0) return false;
        buffer = ((buffer << 5) | static_cast<unsigned>(value)) & 0xfff;
        bits += 5;
        if (bits >= 8) {
            out.push_back(static_cast<std::uint8_t>(buffer >> (bits - 8)));
            bits -= 8;
        }
    }
    if ((buffer & ((1u << bits) - 1)) != 0) return false;
    bytes = std::move(out);
    return true;
}

}  // namespace vault
