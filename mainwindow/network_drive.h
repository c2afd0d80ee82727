// The desktop's network drive on Windows: vantlo-dav's server inside the
// program, over the desktop's pool through the drive core, and the first
// free drive letter (Z: down to D:) mapped to it by Windows' WebDAV client
// (WNetAddConnection2W to \\127.0.0.1@PORT\DavWWWRoot\TOKEN).
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "app/drive_service.h"

namespace dav {
class Server;
class VolumeBackend;
}  // namespace dav

namespace mainwindow {

// Maps `remote` to a letter ("Z:"): the system's error code, 0 on success.
// Tests put their own in place of WNetAddConnection2W/WNetCancelConnection2W.
struct DriveLetterCalls {
    std::function<unsigned long(const std::wstring& letter, const std::wstring& remote)> connect;
    std::function<void(const std::wstring& letter)> disconnect;
    std::function<unsigned long()> usedLetters;  // GetLogicalDrives' mask
    // The client's largest file (FileSizeLimitInBytes; its default when unset).
    std::function<unsigned long()> fileSizeLimit;
};
DriveLetterCalls SystemDriveLetterCalls();

class NetworkDrive final : public app::DriveService {
public:
    // The drive's journal and copies go under cacheDir (claimed for it).
    NetworkDrive(std::wstring cacheDir, DriveLetterCalls calls = SystemDriveLetterCalls());
    ~NetworkDrive() override;

    bool Map(catalog::StorePool& pool, std::string& drive, std::string& message) override;
    void Unmap() override;
    // http://127.0.0.1:PORT/TOKEN/ while serving; empty otherwise.
    std::string Url();

private:
    void StopServing();  // with mutex_ held

    const std::wstring cacheDir_;
    const DriveLetterCalls calls_;
    std::mutex mutex_;
    std::unique_ptr<dav::VolumeBackend> backend_;
    std::unique_ptr<dav::Server> server_;
    std::wstring letter_;
};

}  // namespace mainwindow
