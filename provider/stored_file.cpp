#include "stored_file.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cstdio>
#include <ctime>

namespace provider {

namespace {

std::string Hex(const unsigned char* bytes, std::size_t size) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(kHex[bytes[i] >> 4]);
        out.push_back(kHex[bytes[i] & 15]);
    }
    return out;
}

std::string UtcText(std::int64_t seconds) {
    std::time_t when = static_cast<std::time_t>(seconds);
    std::tm utc{};
    char text[32] = "";
    if (::gmtime_r(&when, &utc) != nullptr) std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

}  // namespace

std::string Sha256Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr);
    return Hex(digest, size);
}

std::vector<StoredPart> StoredFileParts(const std::string& name, std::string_view bytes, std::size_t partSize,
                                        std::int64_t storedAt) {
    const std::size_t parts = bytes.empty() ? 1 : (bytes.size() + partSize - 1) / partSize;
    unsigned char id[16] = {};
    RAND_bytes(id, sizeof id);
    const std::string uploadId = Hex(id, sizeof id);
    const std::string digits = std::to_string(parts);
    const std::string whole = "vantlo-file: 1\nname: " + name + "\nsize: " + std::to_string(bytes.size()) +
                              "\nsha256: " + Sha256Hex(bytes) + "\nparts: " + digits + "\n";
    std::vector<StoredPart> made;
    for (std::size_t k = 1; k <= parts; ++k) {
        StoredPart part;
        const std::size_t offset = (k - 1) * partSize;
        part.bytes = std::string(bytes.substr(offset, partSize));
        part.subject = name;
        part.attachmentName = name;
        if (parts > 1) {
            char number[32];
            std::snprintf(number, sizeof number, ".%0*zu", static_cast<int>(digits.size() < 3 ? 3 : digits.size()), k);
            part.subject += " [part " + std::to_string(k) + " of " + digits + " #" + uploadId.substr(0, 8) + "]";
            part.attachmentName += number;
        }
        part.manifest = whole + "part: " + std::to_string(k) + "\noffset: " + std::to_string(offset) +
                        "\npart-size: " + std::to_string(part.bytes.size()) +
                        "\npart-sha256: " + Sha256Hex(part.bytes) + "\nupload-id: " + uploadId +
                        "\nstored: " + UtcText(storedAt) + "\n";
        made.push_back(std::move(part));
    }
    return made;
}

}  // namespace provider
