// Bytes read by their offset: a local file's own, or bytes made from it on
// the fly (a vault seals a file's records as they are read), so that a
// store sends either without a copy on disk. One reader serves one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

namespace platform {

class ByteReader {
public:
    virtual ~ByteReader() = default;
    // Exactly `size` bytes at `offset`; false when they are not all there.
    virtual bool ReadAt(std::uint64_t offset, char* data, std::size_t size) = 0;
};

// A file's bytes; it seeks only when a read does not follow the one before.
// Null when the file cannot be opened.
std::unique_ptr<ByteReader> OpenFileReader(const std::filesystem::path& path);

}  // namespace platform
