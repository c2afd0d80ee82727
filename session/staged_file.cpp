#include "session/staged_file.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace session {

namespace {
// Temporary files in progress, in fixed slots that a signal handler can
// read without locks or allocation: a slot's path is complete before its
// state says so.
constexpr int kSlots = 8;
constexpr std::size_t kPathRoom = 4096;
enum SlotState : int { kFree = 0, kClaimed = 1, kReady = 2 };
std::atomic<int> slotState[kSlots];
std::filesystem::path::value_type slotPath[kSlots][kPathRoom];

int ClaimSlot(const std::filesystem::path& path) {
    const auto& text = path.native();
    if (text.size() >= kPathRoom) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (!slotState[i].compare_exchange_strong(expected, kClaimed)) continue;
        std::memcpy(slotPath[i], text.c_str(), (text.size() + 1) * sizeof(text[0]));
        slotState[i].store(kReady);
        return i;
    }
    return -1;
}

void ReleaseSlot(int slot) {
    if (slot >= 0) slotState[slot].store(kFree);
}

std::string HexOf(std::uint64_t value) {
    static const char digits[] = "0123456789abcdef";
    std::string out(8, '0');
    for (int i = 7; i >= 0; --i) {
        out[static_cast<std::size_t>(i)] = digits[value & 15];
        value >>= 4;
    }
    return out;
}

// The file a path names once its symbolic links are followed; a link to a
// file that does not exist yet names that file.
std::filesystem::path FollowLinks(std::filesystem::path path) {
    std::error_code error;
    for (int hop = 0; hop < 40 && std::filesystem::is_symlink(path, error); ++hop) {
        std::filesystem::path next = std::filesystem::read_symlink(path, error);
        if (error) break;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}
}  // namespace

void RemoveStagedFiles() {
    for (int i = 0; i < kSlots; ++i) {
        if (slotState[i].load() != kReady) continue;
#ifdef _WIN32
        _wremove(slotPath[i]);
#else
        ::unlink(slotPath[i]);
#endif
    }
}

StagedFile::StagedFile(std::filesystem::path target) : target_(FollowLinks(std::move(target))) {}

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
        // Registered before it exists, so no moment leaves it unlisted.
        slot_ = ClaimSlot(candidate);
        out_.open(candidate, std::ios::binary | std::ios::out | std::ios::trunc);
        if (!out_) {
            ReleaseSlot(slot_);
            slot_ = -1;
            return false;
        }
        temporary_ = candidate;
        // The replaced file's readers keep their access, and no more.
        std::filesystem::file_status existing = std::filesystem::status(target_, error);
        if (!error && std::filesystem::is_regular_file(existing))
            std::filesystem::permissions(temporary_, existing.permissions(), error);
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
    ReleaseSlot(slot_);
    slot_ = -1;
    return true;
}

void StagedFile::Discard() {
    if (committed_ || temporary_.empty()) return;
    if (out_.is_open()) out_.close();
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
    ReleaseSlot(slot_);
    slot_ = -1;
}

}  // namespace session
