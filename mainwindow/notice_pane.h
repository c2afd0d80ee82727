// The notice pane: the right pane's rich edit control until a folder is
// first opened, showing the notice text that a thread of its own fetches.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "session/provider_directory.h"
#include "session/session.h"

namespace mainwindow {

// The pane; none before CreateNoticePane and after DestroyNoticePane.
inline HWND noticePane = nullptr;
inline constexpr wchar_t kNoticePlaceholder[] = L"请稍后,正在读取公告...";

// Creates the pane in the right pane and starts the fetch from the session's
// notice addresses (after the provider override). Returns 0.
int CreateNoticePane(const session::Session& session);

// Starts the notice fetch over the given endpoints, in order. The thread
// posts its text to the main window (kNoticeTextMessage) and touches no
// window itself.
void StartNoticeFetch(std::vector<session::Endpoint> endpoints, session::ExchangeLimits limits);

// The notice fetch thread's work: fetch, then post the text to `target`.
void NoticeFetchThread(HWND target, std::vector<session::Endpoint> endpoints, session::ExchangeLimits limits);

// kNoticeTextMessage: shows the posted text if the pane is still there; a
// late answer goes nowhere.
void OnNoticeText(LPARAM posted);

// On the first opening of a folder: the pane goes for good.
void DestroyNoticePane();

}  // namespace mainwindow
