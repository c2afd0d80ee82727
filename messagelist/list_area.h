// The message list area's state and handlers, shared by the files of this
// folder. One area per main window; item n of the list always shows row n of
// the page it was last filled with.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "app/desktop.h"
#include "app/list_menu_model.h"

namespace messagelist {

class ListArea final : public app::DesktopView {
public:
    void Attach(HWND frame, std::shared_ptr<app::Desktop> desktop);

    void FolderOpened(const std::string& title) override;
    void PageShown(const app::Page& page) override;

private:
    static LRESULT CALLBACK MessageListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void CreateMessageListArea();
    void Forget();
    LRESULT MessageListNotify(NMHDR* header);
    LRESULT OnCustomDraw(NMLVCUSTOMDRAW& draw) const;

    // list_commands.cpp
    void ShowMenu();
    void MessageListCommand(WPARAM wParam);
    void DownloadAttachment();
    void UploadFile();
    void FilesDropped(HDROP drop);
    // The checked rows, or else the selected ones; `checked` tells which.
    std::vector<int> ChosenRows(bool& checked) const;
    int FirstSelected() const;
    void Tell(const wchar_t* text, const wchar_t* caption) const;

    HWND frame_ = nullptr;
    HWND list_ = nullptr;
    HWND title_ = nullptr;
    HWND searchBox_ = nullptr;
    HWND searchCaption_ = nullptr;
    HWND prevPage_ = nullptr;
    HWND nextPage_ = nullptr;
    WNDPROC previousProc_ = nullptr;
    std::shared_ptr<app::Desktop> desktop_;
    app::ListMenu shownMenu_;  // the menu shown last: what its commands stand for
};

}  // namespace messagelist
