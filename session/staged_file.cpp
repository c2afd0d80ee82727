#include "session/staged_file.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <system_error>

namespace session {

namespace {
std::string HexOf(std::uint64_t value) {
    static const char digits[] = "0123456789abcdef";
    std::string out(8, '0');
    for (int i = 7; i >= 0; --i) {
        out[static_cast<std::size_t>(i)] = digits[value & 15];
        value >>= 4;
    }
    return out;
}
}  // namespace

StagedFile::StagedFile(std::filesystem::path target) : target_(std::move(target)) {}

StagedFile::~StagedFile() {
    Discard();
}

bool StagedFile::Open() {
    std::error_code error;
    if (std::filesystem::is_directory(target_, error)) return false;
    // Beside the target, so the final rename stays on one file system; a
    // name no other file has.
    std::uint64_t seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                         reinterpret_cast<std::uintptr_t>(this);
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::filesystem::path name = target_.filename();
        name += ".vantlo-" + HexOf(seed + static_cast<std::uint64_t>(attempt) * 0x9e3779b9u) + ".part";
        std::filesystem::path candidate = target_.parent_path() / name;
        if (std::filesystem::exists(candidate, error)) continue;
        out_.open(candidate, std::ios::binary | std::ios::out | std::ios::trunc);
        if (!out_) return false;
        temporary_ = candidate;
        return true;
    }
    return false;
}

bool StagedFile::Write(const char* data, std::size_t length) {
    if (!out_.is_open()) return false;
    out_.write(data, static_cast<std::streamsize>(length));
    return static_cast<bool>(out_);
}

bool StagedFile::Commit() {
    if (!out_.is_open()) return false;
    out_.close();
    if (out_.fail()) return false;
    std::error_code error;
    std::filesystem::rename(temporary_, target_, error);
    if (error) return false;
    committed_ = true;
    return true;
}

void StagedFile::Discard() {
    if (committed_ || temporary_.empty()) return;
    if (out_.is_open()) out_.close();
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
}

}  // namespace session
