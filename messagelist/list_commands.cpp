// The list's context menu and its commands, and files dropped on the list:
// the rows a command acts on are read here, the work is the desktop's.
#include <windows.h>

#include <shellapi.h>

#include <filesystem>
#include <vector>

#include "app/file_texts.h"
#include "app/transfer_conflict_dialog.h"
#include "messagelist/list_area.h"
#include "platform/text.h"
#include "platform/ui_seams.h"
#include "platform/win_handles.h"

namespace messagelist {

namespace {
constexpr wchar_t kNoAttachmentText[] = L"此邮件不包函任何附件";
constexpr wchar_t kNoticeCaption[] = L"提示";
constexpr wchar_t kDeleteCaption[] = L"删除文件";

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

// Every path the drop holds, in its order.
std::vector<std::filesystem::path> DroppedPaths(HDROP drop) {
    std::vector<std::filesystem::path> paths;
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::vector<wchar_t> path(static_cast<std::size_t>(length) + 1, L'\0');
        DragQueryFileW(drop, i, path.data(), length + 1);
        if (path[0] != L'\0') paths.emplace_back(std::wstring(path.data()));
    }
    return paths;
}

// The open dialog's answer: one path, or the folder and then each name,
// separated by zeros.
std::vector<std::filesystem::path> ChosenPaths(const std::wstring& answer) {
    std::vector<std::wstring> parts;
    for (std::size_t at = 0; at <= answer.size();) {
        std::size_t end = answer.find(L'\0', at);
        if (end == std::wstring::npos) end = answer.size();
        if (end > at) parts.push_back(answer.substr(at, end - at));
        at = end + 1;
    }
    if (parts.size() <= 1) return {parts.begin(), parts.end()};
    std::vector<std::filesystem::path> paths;
    for (std::size_t i = 1; i < parts.size(); ++i) paths.push_back(std::filesystem::path(parts[0]) / parts[i]);
    return paths;
}
}  // namespace

int ListArea::FirstSelected() const {
    return static_cast<int>(
        SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0)));
}

std::vector<std::size_t> ListArea::SelectedRows() const {
    std::vector<std::size_t> rows;
    std::size_t count = desktop_->Files().Count();
    // Each step starts after the last item found; the bound guards against a
    // list that would report an item twice.
    for (int item = FirstSelected(); item >= 0 && rows.size() < count;
         item = static_cast<int>(
             SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(item), MAKELPARAM(LVNI_SELECTED, 0))))
        rows.push_back(static_cast<std::size_t>(item));
    return rows;
}

std::vector<std::size_t> ListArea::ChosenRows(bool& checked) const {
    std::vector<std::size_t> rows = desktop_->Files().CheckedItems();
    checked = !rows.empty();
    return checked ? rows : SelectedRows();
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
    if (HIWORD(wParam) != 0) return;  // menus and the frame's keys only
    const unsigned command = LOWORD(wParam);
    bool checked = false;
    switch (command) {
    case app::CmdDownloadMail: DownloadMail(); break;
    case app::CmdDownloadAttachment: DownloadAttachment(); break;
    case app::CmdDeleteRows: DeleteChosen(); break;
    case app::CmdUploadFile: UploadFile(); break;
    case app::CmdAttachmentsOnly: desktop_->ToggleAttachmentsOnly(); break;
    case app::CmdNextPage: StepPage(+1); break;
    case app::CmdProperties:
        if (int row = FirstSelected(); row >= 0) desktop_->ShowFileProperties(static_cast<std::size_t>(row));
        break;
    case app::CmdOpen: DownloadAttachment(); break;
    case app::CmdSelectAll: ListView_SetItemState(list_, -1, LVIS_SELECTED, LVIS_SELECTED); break;
    case app::CmdFileView: SetMailView(false); break;
    case app::CmdMailView: SetMailView(true); break;
    case app::CmdMoveTo: break;  // the submenu's entry
    default:
        if (std::optional<std::string> target = app::MoveTargetFor(shownMenu_, command)) {
            desktop_->MoveRows(ChosenRows(checked), *target);
        }
        break;
    }
}

// The chosen files go to the trash once the user agreed, named and counted.
void ListArea::DeleteChosen() {
    bool checked = false;
    std::vector<std::size_t> rows = ChosenRows(checked);
    if (rows.empty()) return;
    std::wstring question = platform::Utf8ToWide(app::DeleteFilesQuestion(app::NamesOf(desktop_->Files(), rows)));
    if (ui::ShowMessage(frame_, question, kDeleteCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES)
        desktop_->DeleteRows(rows);
}

// The selected files, verified, through the save dialog (run here, before
// the work starts): one file to the name chosen, several into the folder of
// the name chosen, each under its own name.
void ListArea::DownloadAttachment() {
    std::vector<std::size_t> rows = SelectedRows();
    switch (desktop_->CheckDownload(rows)) {
    case app::DownloadCheck::NoRow: return;
    case app::DownloadCheck::NoAttachment: Tell(kNoAttachmentText, kNoticeCaption); return;
    case app::DownloadCheck::Ready: break;
    }
    ui::FileDialogRequest request;
    request.kind = ui::FileDialogKind::Save;
    request.owner = list_;
    request.proposedName = platform::Utf8ToWide(desktop_->ProposedName(rows.front()));
    // A download goes to a new file as often as to an old one: the name need
    // not exist, and replacing a file that does is confirmed first.
    request.flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | (rows.size() == 1 ? OFN_OVERWRITEPROMPT : 0);
    std::optional<std::wstring> path = ui::AskFileName(request);
    if (path && !path->empty())
        desktop_->QueueDownloads(rows, std::filesystem::path(*path));
    else
        desktop_->DownloadChoiceCancelled();
}

// The first selected file's mails as they are stored, one .eml per part.
void ListArea::DownloadMail() {
    int row = FirstSelected();
    if (row < 0) return;
    ui::FileDialogRequest request;
    request.kind = ui::FileDialogKind::Save;
    request.owner = list_;
    request.proposedName = platform::Utf8ToWide(desktop_->ProposedName(static_cast<std::size_t>(row)) + ".eml");
    request.flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT;
    std::optional<std::wstring> path = ui::AskFileName(request);
    if (path && !path->empty())
        desktop_->DownloadMail(static_cast<std::size_t>(row), std::filesystem::path(*path));
    else
        desktop_->DownloadChoiceCancelled();
}

// Several files may be chosen; they join the transfer queue.
void ListArea::UploadFile() {
    ui::FileDialogRequest request;
    request.kind = ui::FileDialogKind::Open;
    request.owner = list_;
    request.flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT | OFN_EXPLORER;
    std::optional<std::wstring> answer = ui::AskFileName(request);
    std::vector<std::filesystem::path> paths;
    if (answer) paths = ChosenPaths(*answer);
    if (paths.empty())
        desktop_->UploadChoiceCancelled();
    else
        desktop_->QueueUploads(paths, app::ConflictDialog(list_));
}

// Every file of a drop joins the transfer queue, also while it runs.
void ListArea::FilesDropped(HDROP drop) {
    std::vector<std::filesystem::path> paths = DroppedPaths(drop);
    DragFinish(drop);
    if (!paths.empty()) desktop_->QueueUploads(paths, app::ConflictDialog(list_));
}

}  // namespace messagelist
