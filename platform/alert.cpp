#include "platform/alert.h"

#include <mutex>

#ifdef _WIN32
#include <windows.h>
#include "platform/text.h"
#else
#include <cstdio>
#endif

namespace platform {
namespace {
std::mutex hookMutex;
AlertHook& Hook() {
    static AlertHook hook;
    return hook;
}
}  // namespace

void SetAlertHook(AlertHook hook) {
    std::lock_guard<std::mutex> lock(hookMutex);
    Hook() = std::move(hook);
}

void ShowErrorAlert(const std::string& text) {
    static const std::string caption = "Error";
    AlertHook hook;
    {
        std::lock_guard<std::mutex> lock(hookMutex);
        hook = Hook();
    }
    if (hook) {
        hook(caption, text);
        return;
    }
#ifdef _WIN32
    MessageBoxW(nullptr, Utf8ToWide(text).c_str(), L"Error", MB_OK);
#else
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
#endif
}

}  // namespace platform
