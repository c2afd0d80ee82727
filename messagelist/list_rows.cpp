// The rows of the file list as the list view asks for them: each cell's
// text (the mail view's columns or the file columns, with the shell's name
// and icon for a type), the check marks the virtual list keeps nowhere,
// and the rows' colours.
#include <windows.h>

#include <shellapi.h>

#include <algorithm>

#include "app/file_texts.h"
#include "messagelist/list_area.h"
#include "platform/text.h"

namespace messagelist {

namespace {
constexpr COLORREF kSelectedRowBackground = RGB(255, 110, 165);
constexpr COLORREF kOddRowBackground = RGB(242, 247, 254);
constexpr COLORREF kEvenRowBackground = RGB(255, 255, 255);
// Every cell gets 149 UTF-16 units.
constexpr std::size_t kCellUnits = 149;
// The state image of an item with list check boxes: 1 unchecked, 2 checked.
constexpr UINT kUncheckedImage = 1;
constexpr UINT kCheckedImage = 2;

std::string MailCellOf(const app::FileRow& row, int column) {
    app::FileCells cells = app::CellsOf(row);
    switch (column) {
    case 0: return cells.title;
    case 1: return cells.size;
    case 2: return cells.receivedDate;
    case 3: return cells.sentDate;
    default: return cells.from;
    }
}

std::string FileCellOf(const app::FileRow& row, int column) {
    app::FileColumns columns = app::ColumnsOf(row);
    switch (column) {
    case 0: return columns.name;
    case 1: return columns.size;
    case 2: return columns.modified;
    default: return columns.type;
    }
}
}  // namespace

namespace {
app::FileRow probeRow(const std::string& name) {
    app::FileRow row;
    row.file.name = name;
    return row;
}
}  // namespace

// The shell's name and icon for a file's type, by its extension, asked once.
const ListArea::ShellType& ListArea::ShellTypeOf(const std::string& name) {
    std::wstring extension = platform::Utf8ToWide(app::ExtensionOf(name));
    auto known = shellTypes_.find(extension);
    if (known != shellTypes_.end()) return known->second;
    ShellType type{platform::Utf8ToWide(app::ColumnsOf(probeRow(name)).type), 0};
    SHFILEINFOW info{};
    std::wstring probe = L"x" + extension;
    if (SHGetFileInfoW(probe.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                       SHGFI_USEFILEATTRIBUTES | SHGFI_TYPENAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON)) {
        if (info.szTypeName[0]) type.name = info.szTypeName;
        type.icon = info.iIcon;
    }
    // A shell that knows the extension by no name of its own makes one up
    // in English (".bin file" under Wine): ours reads better.
    if (type.name == extension + L" file" || type.name == L"File")
        type.name = platform::Utf8ToWide(app::ColumnsOf(probeRow(name)).type);
    return shellTypes_.emplace(extension, type).first->second;
}

void ListArea::OnGetDispInfo(NMLVDISPINFOW& info) {
    LVITEMW& item = info.item;
    const app::FileRow* row = desktop_->Files().Row(static_cast<std::size_t>(item.iItem));
    if (!row) return;
    if (item.mask & LVIF_IMAGE && item.iSubItem == 0) item.iImage = mailView_ ? -1 : ShellTypeOf(row->file.name).icon;
    if (item.mask & LVIF_TEXT && item.pszText && item.cchTextMax > 0) {
        std::size_t room = std::min<std::size_t>(kCellUnits, static_cast<std::size_t>(item.cchTextMax) - 1);
        std::wstring text;
        if (mailView_)
            text = platform::Utf8ToWide(MailCellOf(*row, item.iSubItem));
        else if (item.iSubItem == 3)
            text = ShellTypeOf(row->file.name).name;
        else
            text = platform::Utf8ToWide(FileCellOf(*row, item.iSubItem));
        cell_ = platform::CutWide(text, room);
        cell_.copy(item.pszText, cell_.size());
        item.pszText[cell_.size()] = L'\0';
    }
    if (item.mask & LVIF_STATE) {
        bool checked = desktop_->Files().Checked(static_cast<std::size_t>(item.iItem));
        item.state =
            (item.state & ~LVIS_STATEIMAGEMASK) | INDEXTOSTATEIMAGEMASK(checked ? kCheckedImage : kUncheckedImage);
        item.stateMask |= LVIS_STATEIMAGEMASK;
    }
}

// A virtual list keeps no check marks: a click on the box or the space bar
// toggles the file list's, which the list then asks for.
void ListArea::ToggleCheck(int item) {
    if (item < 0) return;
    app::FileList& files = desktop_->Files();
    files.SetChecked(static_cast<std::size_t>(item), !files.Checked(static_cast<std::size_t>(item)));
    ListView_RedrawItems(list_, item, item);
}

// Only the first selected row gets the selection's colours; the others
// alternate their backgrounds. Files are not mails: none is "unread".
LRESULT ListArea::OnCustomDraw(NMLVCUSTOMDRAW& draw) const {
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
    const int item = static_cast<int>(draw.nmcd.dwItemSpec);
    draw.clrText = RGB(0, 0, 0);
    if (item == FirstSelected()) {
        draw.clrTextBk = kSelectedRowBackground;
        return CDRF_DODEFAULT;
    }
    draw.clrTextBk = item % 2 ? kOddRowBackground : kEvenRowBackground;
    return CDRF_NOTIFYSUBITEMDRAW | CDRF_NOTIFYPOSTPAINT;
}

}  // namespace messagelist
