#include "platform/byte_reader.h"

#include <fstream>

namespace platform {
namespace {

class FileReader : public ByteReader {
public:
    explicit FileReader(const std::filesystem::path& path) : file_(path, std::ios::binary) {}
    bool Open() const { return static_cast<bool>(file_); }

    bool ReadAt(std::uint64_t offset, char* data, std::size_t size) override {
        // A seek drops the stream's buffer: reads in order keep it.
        if (offset != next_) {
            file_.clear();
            if (!file_.seekg(static_cast<std::streamoff>(offset))) return false;
        }
        file_.read(data, static_cast<std::streamsize>(size));
        const auto got = static_cast<std::size_t>(file_.gcount());
        next_ = offset + got;
        return got == size;
    }

private:
    std::ifstream file_;
    std::uint64_t next_ = 0;
};

}  // namespace

std::unique_ptr<ByteReader> OpenFileReader(const std::filesystem::path& path) {
    auto reader = std::make_unique<FileReader>(path);
    if (!reader->Open()) return nullptr;
    return reader;
}

}  // namespace platform
