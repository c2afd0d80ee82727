// The list's context menu and its commands, and files dropped on the list:
// the rows a command acts on are read here, the work is the desktop's.
#include <windows.h>

#include <shellapi.h>

#include <vector>

#include "messagelist/list_area.h"
#include "platform/text.h"
#include "platform/ui_seams.h"
#include "platform/win_handles.h"

namespace messagelist {

namespace {
// The state image of an item with list check boxes: 1 unchecked, 2 checked.
constexpr UINT kCheckedImage = 2;

constexpr wchar_t kUploadBusyText[] = L"已经有一个上传任务正在进行...";
constexpr wchar_t kUploadBusyCaption[] = L"请稍候";
constexpr wchar_t kDownloadBusyText[] = L"已经有一个下载任务";
constexpr wchar_t kDownloadBusyCaption[] = L"请等待";
constexpr wchar_t kNoAttachmentText[] = L"此邮件不包函任何附件";
constexpr wchar_t kNoticeCaption[] = L"提示";

// A popup menu with the entries, owning the submenus it holds.
ui::Menu MakeMenu(const std::vector<app::MenuEntry>& entries) {
    ui::Menu menu = ui::Menu::Popup();
    for (const app::MenuEntry& entry : entries) {
        if (!menu) return menu;
        std::wstring text = platform::Utf8ToWide(entry.text);
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE;
        info.wID = entry.id;
        info.dwTypeData = text.data();
        info.fState = entry.enabled ? MFS_ENABLED : MFS_DISABLED | MFS_GRAYED;
        ui::Menu submenu;
        if (entry.id == app::CmdMoveTo) {
            submenu = MakeMenu(entry.submenu);
            info.fMask |= MIIM_SUBMENU;
            info.hSubMenu = submenu.Get();
        }
        if (!InsertMenuItemW(menu.Get(), static_cast<UINT>(GetMenuItemCount(menu.Get())), TRUE, &info))
            return ui::Menu();
        submenu.Release();  // now the menu's
    }
    return menu;
}

// The path of the last file the drop holds; empty when it holds none.
std::wstring LastDroppedPath(HDROP drop) {
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    if (count == 0) return {};
    UINT length = DragQueryFileW(drop, count - 1, nullptr, 0);
    std::vector<wchar_t> path(static_cast<std::size_t>(length) + 1, L'\0');
    DragQueryFileW(drop, count - 1, path.data(), length + 1);
    return std::wstring(path.data());
}
}  // namespace

int ListArea::FirstSelected() const {
    return static_cast<int>(
        SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0)));
}

std::vector<int> ListArea::ChosenRows(bool& checked) const {
    std::vector<int> rows;
    int count = static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        UINT state =
            static_cast<UINT>(SendMessageW(list_, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_STATEIMAGEMASK));
        if ((state & LVIS_STATEIMAGEMASK) >> 12 == kCheckedImage) rows.push_back(i);
    }
    checked = !rows.empty();
    if (checked) return rows;
    // Each step starts after the last item found; the bound guards against a
    // list that would report an item twice.
    for (int item = FirstSelected(); item >= 0 && static_cast<int>(rows.size()) < count;
         item = static_cast<int>(
             SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(item), MAKELPARAM(LVNI_SELECTED, 0))))
        rows.push_back(item);
    return rows;
}

void ListArea::Tell(const wchar_t* text, const wchar_t* caption) const {
    ui::ShowMessage(frame_, text, caption, MB_OK);
}

// Built anew for every right click from the selection and folders of now;
// the list owns it, so the chosen command reaches the list's procedure.
void ListArea::ShowMenu() {
    shownMenu_ = app::BuildListMenu(FirstSelected() >= 0, desktop_->Folders());
    ui::Menu menu = MakeMenu(shownMenu_.entries);
    if (!menu) return;
    POINT cursor{};
    GetCursorPos(&cursor);
    TrackPopupMenu(menu.Get(), TPM_LEFTBUTTON, cursor.x, cursor.y, 0, list_, nullptr);
}

void ListArea::MessageListCommand(WPARAM wParam) {
    if (HIWORD(wParam) != 0) return;  // menus only; the list has no accelerators
    const unsigned command = LOWORD(wParam);
    bool checked = false;
    switch (command) {
    case app::CmdDownloadAttachment: DownloadAttachment(); break;
    case app::CmdDeleteRows: desktop_->DeleteRows(ChosenRows(checked)); break;
    case app::CmdUploadFile: UploadFile(); break;
    case app::CmdDownloadMail:
    case app::CmdMoveTo:
    case app::CmdAttachmentsOnly:
    case app::CmdNextPage:
    case app::CmdProperties: break;  // offered, with nothing behind them
    default:
        if (std::optional<std::string> target = app::MoveTargetFor(shownMenu_, command)) {
            std::vector<int> rows = ChosenRows(checked);
            desktop_->MoveRows(rows, *target, checked);
        }
        break;
    }
}

// The first selected row's attachment, whatever is checked. The save dialog
// runs here, before the worker starts.
void ListArea::DownloadAttachment() {
    int row = FirstSelected();
    switch (desktop_->CheckDownload(row)) {
    case app::DownloadCheck::NoRow: return;
    case app::DownloadCheck::NoAttachment: Tell(kNoAttachmentText, kNoticeCaption); return;
    case app::DownloadCheck::Busy: Tell(kDownloadBusyText, kDownloadBusyCaption); return;
    case app::DownloadCheck::Ready: break;
    }
    ui::FileDialogRequest request;
    request.kind = ui::FileDialogKind::Save;
    request.owner = list_;
    request.proposedName = platform::Utf8ToWide(desktop_->StartDownload(row));
    // A download goes to a new file as often as to an old one: the name need
    // not exist, and replacing a file that does is confirmed first.
    request.flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT;
    std::optional<std::wstring> path = ui::AskFileName(request);
    if (path && !path->empty())
        desktop_->DownloadTo(*path);
    else
        desktop_->DownloadChoiceCancelled();
}

void ListArea::UploadFile() {
    if (!desktop_->UploadSlotFree()) {
        Tell(kUploadBusyText, kUploadBusyCaption);
        return;
    }
    ui::FileDialogRequest request;
    request.kind = ui::FileDialogKind::Open;
    request.owner = list_;
    request.flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    std::optional<std::wstring> path = ui::AskFileName(request);
    if (!path || path->empty()) {
        desktop_->UploadChoiceCancelled();
    } else if (desktop_->UploadSlotFree()) {
        desktop_->StartUpload(*path);
    } else {
        // The dialog's loop let another upload start meanwhile.
        Tell(kUploadBusyText, kUploadBusyCaption);
    }
}

// Only the last file of a drop is stored; a drop while an upload runs gets
// the busy box and leaves the running upload alone.
void ListArea::FilesDropped(HDROP drop) {
    if (!desktop_->UploadSlotFree()) {
        Tell(kUploadBusyText, kUploadBusyCaption);
    } else {
        std::wstring path = LastDroppedPath(drop);
        if (!path.empty()) desktop_->StartUpload(path);
    }
    DragFinish(drop);
}

}  // namespace messagelist
