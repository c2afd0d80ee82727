#include <windows.h>

#include <winioctl.h>

#include <cerrno>
#include <utility>

#include "platform/local_file.h"

namespace platform {
namespace {

HANDLE AsHandle(void* handle) {
    return static_cast<HANDLE>(handle);
}

std::string ErrorText(DWORD code) {
    return "Windows error " + std::to_string(code);
}

// A reparse point (a symbolic link or a junction) is opened as itself, not followed.
void* OpenFile(const std::filesystem::path& path, DWORD disposition) {
    // Others may rename or delete it while it is open, as on POSIX: a store
    // done moves its journal copy into the cache, a dropped copy goes.
    HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

}  // namespace

LocalFile::~LocalFile() {
    Close();
}

LocalFile::LocalFile(LocalFile&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

LocalFile& LocalFile::operator=(LocalFile&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

bool LocalFile::CreateNew(const std::filesystem::path& path, unsigned, std::string& error) {
    Close();
    handle_ = OpenFile(path, CREATE_NEW);
    if (!handle_) return error = ErrorText(GetLastError()), false;
    return true;
}

bool LocalFile::OpenExisting(const std::filesystem::path& path, std::string& error) {
    Close();
    handle_ = OpenFile(path, OPEN_EXISTING);
    if (!handle_) return error = ErrorText(GetLastError()), false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(AsHandle(handle_), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) {
        Close();
        return error = "it is not a regular file", false;
    }
    return true;
}

bool LocalFile::IsOpen() const {
    return handle_ != nullptr;
}

bool LocalFile::SetMode(unsigned) {
    return handle_ != nullptr;  // the directory's access list decides who reads it
}

bool LocalFile::Resize(std::uint64_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return handle_ && SetFileInformationByHandle(AsHandle(handle_), FileEndOfFileInfo, &end, sizeof end);
}

bool LocalFile::Size(std::uint64_t& size) const {
    LARGE_INTEGER value{};
    if (!handle_ || !GetFileSizeEx(AsHandle(handle_), &value)) return false;
    size = static_cast<std::uint64_t>(value.QuadPart);
    return true;
}

bool LocalFile::WriteAt(std::uint64_t offset, const char* data, std::size_t size) {
    while (size > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size), written = 0;
        if (!WriteFile(AsHandle(handle_), data, chunk, &written, &at) || written == 0) return false;
        data += written, size -= written, offset += written;
    }
    return true;
}

bool LocalFile::ReadAt(std::uint64_t offset, char* data, std::size_t size, std::size_t& got) const {
    got = 0;
    while (got < size) {
        OVERLAPPED at{};
        const std::uint64_t from = offset + got;
        at.Offset = static_cast<DWORD>(from);
        at.OffsetHigh = static_cast<DWORD>(from >> 32);
        DWORD chunk = size - got > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size - got), read = 0;
        if (!ReadFile(AsHandle(handle_), data + got, chunk, &read, &at)) return GetLastError() == ERROR_HANDLE_EOF;
        if (read == 0) break;
        got += read;
    }
    return true;
}

bool LocalFile::Sync() {
    return handle_ && FlushFileBuffers(AsHandle(handle_));
}

// A sparse file gives back the space of a zeroed range.
bool LocalFile::PunchHole(std::uint64_t offset, std::uint64_t size) {
    DWORD returned = 0;
    if (!handle_ || !DeviceIoControl(AsHandle(handle_), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr))
        return false;
    FILE_ZERO_DATA_INFORMATION range{};
    range.FileOffset.QuadPart = static_cast<LONGLONG>(offset);
    range.BeyondFinalZero.QuadPart = static_cast<LONGLONG>(offset + size);
    return DeviceIoControl(AsHandle(handle_), FSCTL_SET_ZERO_DATA, &range, sizeof range, nullptr, 0, &returned,
                           nullptr) != 0;
}

int LocalFile::LastErrno() {
    switch (GetLastError()) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_ACCESS_DENIED: return EACCES;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    default: return EIO;
    }
}

bool LocalFile::TryLock() {
    OVERLAPPED at{};
    return handle_ && LockFileEx(AsHandle(handle_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at);
}

bool LocalFile::Close() {
    if (!handle_) return true;
    return CloseHandle(AsHandle(std::exchange(handle_, nullptr))) != 0;
}

EntryKind InspectEntry(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? EntryKind::Absent : EntryKind::Other;
    }
    if (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        return EntryKind::Other;
    return EntryKind::OwnRegularFile;
}

bool MakePrivateDirectory(const std::filesystem::path& path) {
    // %LOCALAPPDATA% is the user's own: its access list already keeps others out.
    std::error_code error;
    std::filesystem::create_directories(path, error);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace platform
