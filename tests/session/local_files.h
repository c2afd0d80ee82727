// Local files for the transfer tests: a temporary directory that removes
// itself, and whole-file reads and writes.
#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "provider_process.h"

namespace testsupport {

class TempDir {
public:
    TempDir() : path_(MakeTempDir("vantlo-transfer-test-")) {}
    ~TempDir() { RemoveTree(path_.string()); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& nameUtf8) const {
        return path_ / std::filesystem::u8path(nameUtf8);
    }
    // Number of entries in the directory, for checks that nothing was left
    // behind.
    std::size_t EntryCount() const {
        std::size_t count = 0;
        for (auto it = std::filesystem::directory_iterator(path_); it != std::filesystem::directory_iterator(); ++it)
            ++count;
        return count;
    }

private:
    std::filesystem::path path_;
};

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(generator() & 0xff);
    return bytes;
}

}  // namespace testsupport
