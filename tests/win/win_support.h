// What the Windows-side tests share: pumping the user-interface thread until
// something has happened, the seams answered and recorded, a clean registry,
// a server that never answers, and sessions signed in to the provider that
// run-wine-test.sh started (VANTLO_PROVIDER).
#pragma once

#include <winsock2.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/account.h"
#include "platform/ui_seams.h"
#include "session/provider_directory.h"
#include "session/session.h"
#include "session/signin.h"
#include "webmail/webmail_store.h"

namespace wintest {

inline bool quitSeen = false;

// Dispatches messages until `done()` holds, at most `bound`; true when it
// held. A WM_QUIT is taken off the queue and noted in quitSeen.
inline bool PumpUntil(const std::function<bool()>& done, std::chrono::seconds bound = std::chrono::seconds(30)) {
    for (auto deadline = std::chrono::steady_clock::now() + bound;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) quitSeen = true;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        // Woken by the next message, or looks again soon for what happens on
        // other threads.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

inline bool QuitPosted() {
    bool seen = PumpUntil([] { return quitSeen; });
    quitSeen = false;
    return seen;
}

inline std::wstring TextOf(HWND window) {
    wchar_t text[300] = {};
    GetWindowTextW(window, text, 300);
    return text;
}

// A key pressed and let go as the message loop sees it, with `held` (VK_CONTROL,
// VK_SHIFT or 0) down meanwhile; whether `translate` took the press.
template <typename Translate>
bool PressKey(Translate translate, HWND window, WPARAM key, int held = 0) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = held == VK_CONTROL ? 0x80 : 0;
    keys[VK_SHIFT] = held == VK_SHIFT ? 0x80 : 0;
    SetKeyboardState(keys);
    MSG down{window, WM_KEYDOWN, key, 0, 0, {}}, up{window, WM_KEYUP, key, 0xC0000001, 0, {}};
    const bool taken = translate(down);
    translate(up);
    keys[VK_CONTROL] = keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    return taken;
}

// Answers message boxes with OK and file dialogs with nothing (cancel) for
// its lifetime, and records them. Outside it, a box or a dialog fails the
// running test.
struct Seams {
    std::vector<ui::MessageRequest> boxes;
    std::vector<ui::FileDialogRequest> dialogs;
    Seams() {
        // A question is answered yes.
        ui::SetMessageHook([this](const ui::MessageRequest& request) {
            return boxes.push_back(request), (request.flags & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
        });
        ui::SetFileDialogHook([this](const ui::FileDialogRequest& request) -> std::optional<std::wstring> {
            return dialogs.push_back(request), std::nullopt;
        });
    }
    ~Seams() { Strict(); }
    static void Strict() {
        ui::SetMessageHook([](const ui::MessageRequest&) { return ADD_FAILURE() << "a message box", IDOK; });
        ui::SetFileDialogHook([](const ui::FileDialogRequest&) -> std::optional<std::wstring> {
            return ADD_FAILURE() << "a file dialog", std::nullopt;
        });
    }
};

// Removes the program's registry keys when made and when destroyed.
struct RegistryScratch {
    RegistryScratch() { Clear(); }
    ~RegistryScratch() { Clear(); }
    static void Clear() {
        RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\Vantlo");
        HKEY machine = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &machine)) return;
        RegDeleteTreeA(machine, "Vantlo");
        RegCloseKey(machine);
    }
};

// A loopback port whose connections are made but never answered: they
// wait in its listen queue until it closes.
class StallServer {
public:
    StallServer() {
        sockaddr_in address{AF_INET, 0, {}, {}};
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 16);
        int length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        hostPort_ = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    }
    ~StallServer() { closesocket(listener_); }
    const std::string& HostPort() const { return hostPort_; }
    bool ConnectionWaiting() const {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(listener_, &ready);
        timeval now{0, 0};
        return select(0, &ready, nullptr, nullptr, &now) == 1;
    }

private:
    SOCKET listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    std::string hostPort_;
};

// A fresh session signed in to the provider.
inline std::unique_ptr<session::Session> SignedIn(const std::string& account, const std::string& password) {
    auto session = std::make_unique<session::Session>();
    EXPECT_EQ(session::SignIn(*session, account, session::EntryForAccount(account), password), session::Status::Ok);
    return session;
}

// The desktop's account over a signed-in session, with short pauses.
inline app::SignedInAccount AccountOver(std::unique_ptr<session::Session> session, const std::string& name) {
    app::SignedInAccount account;
    account.name = name;
    account.providerOverride = session->providerOverride;
    account.store =
        std::make_unique<webmail::WebmailStore>(std::move(session), webmail::WebmailOptions{10000, 5, 100, 200});
    return account;
}

}  // namespace wintest
