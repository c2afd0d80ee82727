#include "mainwindow/notice_pane.h"

#include <richedit.h>

#include <memory>
#include <thread>

#include "mainwindow/app_messages.h"
#include "mainwindow/notice_fetch.h"
#include "mainwindow/ui_globals.h"

namespace mainwindow {

namespace {
constexpr LPARAM kNoticeEvents = ENM_LINK | ENM_MOUSEEVENTS | ENM_KEYEVENTS | ENM_SCROLLEVENTS;
}  // namespace

int CreateNoticePane(const session::Session& session) {
    RECT client{};
    GetClientRect(mainWindow, &client);
    const int w = treePaneWidth;
    noticePane = CreateWindowExW(WS_EX_CLIENTEDGE, L"RICHEDIT", kNoticePlaceholder,
                                 WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                                 w + 2, 25, client.right - w - 7, client.bottom - 50, mainWindow, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (noticePane) {
        SendMessageW(noticePane, EM_AUTOURLDETECT, TRUE, 0);
        SendMessageW(noticePane, EM_SETEVENTMASK, 0, kNoticeEvents);
        SendMessageW(noticePane, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    }
    StartNoticeFetch(NoticeEndpoints(session), session.limits);
    return 0;
}

void StartNoticeFetch(std::vector<session::Endpoint> endpoints, session::ExchangeLimits limits) {
    // Not waited for: a fetch still running at exit ends with the process.
    std::thread(NoticeFetchThread, mainWindow, std::move(endpoints), limits).detach();
}

void NoticeFetchThread(HWND target, std::vector<session::Endpoint> endpoints, session::ExchangeLimits limits) {
    std::string body;
    if (FetchNotice(endpoints, limits, body) != session::Status::Ok) return;  // the placeholder stays
    auto text = std::make_unique<std::wstring>(NoticeTextFromBody(body));
    if (PostMessageW(target, kNoticeTextMessage, 0, reinterpret_cast<LPARAM>(text.get()))) text.release();
}

void OnNoticeText(LPARAM posted) {
    std::unique_ptr<std::wstring> text(reinterpret_cast<std::wstring*>(posted));
    if (text && noticePane) SetWindowTextW(noticePane, text->c_str());
}

void DestroyNoticePane() {
    if (!noticePane) return;
    DestroyWindow(noticePane);
    noticePane = nullptr;
}

}  // namespace mainwindow
