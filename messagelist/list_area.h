// The message list area's state and handlers, shared by the files of this
// folder. One area per main window. The list view is virtual: item n shows
// row n of the desktop's file list, asked for as it is drawn, so a folder of
// any length costs the control nothing. Its check boxes live in that list too.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/desktop.h"
#include "app/list_menu_model.h"

namespace messagelist {

// A column of the list: its header, its share of the list's width in
// hundredths, and the order a click on it sorts by.
struct ListColumn {
    const wchar_t* header;
    int share;
    app::FileColumn sortedBy;
};

class ListArea final : public app::DesktopView {
public:
    void Attach(HWND frame, std::shared_ptr<app::Desktop> desktop);

    void FolderOpened(const std::string& title) override;
    void FilesShown(const app::FileList& files, const std::string& title, bool newRows) override;
    // "邮件视图": the columns of mail; else those of files.
    void SetMailView(bool mailView);
    bool MailView() const { return mailView_; }

private:
    static LRESULT CALLBACK MessageListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SearchBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void CreateMessageListArea();
    void Forget();
    LRESULT MessageListNotify(NMHDR* header);
    LRESULT OnCustomDraw(NMLVCUSTOMDRAW& draw) const;
    void OnGetDispInfo(NMLVDISPINFOW& info);
    struct ShellType {
        std::wstring name;
        int icon;
    };
    void SetColumns();
    const std::vector<ListColumn>& Columns() const;
    std::wstring HeaderText(int position) const;
    void OnColumnClick(int position);
    void OnFrameResized(int width, int height);
    LRESULT StateBits() const;
    const ShellType& ShellTypeOf(const std::string& name);
    void ToggleCheck(int item);
    // A control above the list was clicked or edited (the frame passes it on).
    void OnControlCommand(WPARAM wParam, HWND control);
    void Search();
    void StepPage(int direction);

    // list_commands.cpp
    void ShowMenu();
    void MessageListCommand(WPARAM wParam);
    void DownloadAttachment();
    void DownloadMail();
    void UploadFile();
    void DeleteChosen();
    void FilesDropped(HDROP drop);
    // The checked rows, or else the selected ones; `checked` tells which.
    std::vector<std::size_t> ChosenRows(bool& checked) const;
    std::vector<std::size_t> SelectedRows() const;
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
    WNDPROC previousSearchProc_ = nullptr;
    std::shared_ptr<app::Desktop> desktop_;
    app::ListMenu shownMenu_;  // the menu shown last: what its commands stand for
    std::wstring cell_;        // the text handed out for the cell drawn last
    bool mailView_ = false;
    int sortedPosition_ = 0;                        // the header that sorted last
    std::map<std::wstring, ShellType> shellTypes_;  // by extension
};

}  // namespace messagelist
