#include "mainwindow/network_drive.h"

#include <windows.h>

#include <winnetwk.h>

#include <filesystem>

#include "dav/server.h"
#include "dav/volume_backend.h"
#include "platform/text.h"

namespace mainwindow {

namespace {
constexpr char kFailed[] = "映射网络驱动器失败: ";
// What Windows' WebDAV client takes at most unless the registry says more.
constexpr unsigned long kClientDefaultLimit = 50000000;

// Z: first, as Windows' own "Map network drive" offers, down to D:.
std::wstring FreeLetter(unsigned long used) {
    for (wchar_t letter = L'Z'; letter >= L'D'; --letter)
        if (!(used & (1ul << (letter - L'A')))) return std::wstring(1, letter) + L":";
    return {};
}
}  // namespace

DriveLetterCalls SystemDriveLetterCalls() {
    DriveLetterCalls calls;
    calls.connect = [](const std::wstring& letter, const std::wstring& remote) -> unsigned long {
        NETRESOURCEW resource{};
        resource.dwType = RESOURCETYPE_DISK;
        resource.lpLocalName = const_cast<wchar_t*>(letter.c_str());
        resource.lpRemoteName = const_cast<wchar_t*>(remote.c_str());
        return WNetAddConnection2W(&resource, nullptr, nullptr, CONNECT_TEMPORARY);
    };
    calls.disconnect = [](const std::wstring& letter) { WNetCancelConnection2W(letter.c_str(), 0, TRUE); };
    calls.usedLetters = [] { return static_cast<unsigned long>(GetLogicalDrives()); };
    calls.fileSizeLimit = []() -> unsigned long {
        DWORD limit = 0, size = sizeof limit;
        if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\WebClient\\Parameters",
                         L"FileSizeLimitInBytes", RRF_RT_REG_DWORD, nullptr, &limit, &size) != ERROR_SUCCESS)
            return kClientDefaultLimit;
        return limit;
    };
    return calls;
}

NetworkDrive::NetworkDrive(std::wstring cacheDir, DriveLetterCalls calls)
    : cacheDir_(std::move(cacheDir)), calls_(std::move(calls)) {}

NetworkDrive::~NetworkDrive() {
    Unmap();
}

bool NetworkDrive::Map(catalog::StorePool& pool, std::string& drive, std::string& error) {
    error.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    if (!letter_.empty()) {
        drive = platform::WideToUtf8(letter_);
        return true;
    }
    dav::VolumeBackendOptions options;
    options.cacheDir = std::filesystem::path(cacheDir_);
    options.defaultCacheDir = true;  // the program's own place, not one a user named
    std::string problem;
    if (!cacheDir_.empty()) backend_ = dav::VolumeBackend::OnPool(options, pool, problem);
    if (!backend_) {
        error = std::string(kFailed) + "本机的缓存目录不能使用 (" + platform::WideToUtf8(cacheDir_) +
                ")。请关闭正在使用它的其他 Vantlo 程序后重试。";
        return false;
    }
    server_ = std::make_unique<dav::Server>(*backend_, dav::ServerOptions{});
    if (!server_->Start(problem)) {
        StopServing();
        error = std::string(kFailed) + "无法在本机启动 WebDAV 服务。";
        return false;
    }
    const std::wstring letter = FreeLetter(calls_.usedLetters());
    if (letter.empty()) {
        StopServing();
        error = std::string(kFailed) + "没有空闲的盘符。请断开一个不用的驱动器后重试。";
        return false;
    }
    const std::wstring remote = L"\\\\127.0.0.1@" + std::to_wstring(server_->Port()) + L"\\DavWWWRoot\\" +
                                platform::Utf8ToWide(server_->Token());
    if (const unsigned long code = calls_.connect(letter, remote); code != 0) {
        StopServing();
        error = std::string(kFailed) + "Windows 的 WebDAV 客户端没有接受 (错误 " + std::to_string(code) +
                ")。请确认 WebClient 服务已启动 (sc start WebClient) 后重试。";
        return false;
    }
    letter_ = letter;
    drive = platform::WideToUtf8(letter);
    if (calls_.fileSizeLimit && calls_.fileSizeLimit() <= kClientDefaultLimit)
        error = " (大于 50 MB 的文件请在本程序中传输: Windows 的 WebDAV 客户端默认不收发)";
    return true;
}

void NetworkDrive::Unmap() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!letter_.empty()) calls_.disconnect(letter_);
    letter_.clear();
    StopServing();
}

std::string NetworkDrive::Url() {
    std::lock_guard<std::mutex> lock(mutex_);
    return server_ ? server_->Url() : std::string();
}

void NetworkDrive::StopServing() {
    if (server_) server_->Stop();
    server_.reset();
    backend_.reset();  // stops the write-back; what was not stored stays in the journal
}

}  // namespace mainwindow
