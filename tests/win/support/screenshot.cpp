#include "screenshot.h"

#include <windows.h>

#include <cstdlib>

#include "platform/text.h"
#include "ui_driver.h"

namespace wintest {
namespace {

// The harness's Unix directory as Wine shows it: drive Z: is the root.
std::wstring WindowsPath(const std::string& unixPath) {
    std::wstring path = L"Z:" + platform::Utf8ToWide(unixPath);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

bool TakeScreenshot(const std::string& name, std::string& error) {
    const char* dir = std::getenv("VANTLO_SCREENSHOT_DIR");
    if (!dir || !*dir) {
        error = "VANTLO_SCREENSHOT_DIR is not set (run the test through run-wine-test.sh)";
        return false;
    }
    std::wstring base = WindowsPath(dir) + L"\\" + platform::Utf8ToWide(name);
    std::wstring request = base + L".request", done = base + L".done", png = base + L".png";
    DeleteFileW(done.c_str());
    DeleteFileW(png.c_str());
    PumpMessages(300);  // let every window paint first
    HANDLE file = CreateFileW(request.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = "cannot ask for a screenshot in " + std::string(dir);
        return false;
    }
    CloseHandle(file);
    for (int waited = 0; waited < 20000 && !Exists(done); waited += 50) PumpMessages(50);
    if (!Exists(done) || !Exists(png)) {
        error = "the harness wrote no screenshot " + name + ".png";
        return false;
    }
    return true;
}

}  // namespace wintest
