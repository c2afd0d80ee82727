// Making the area, showing the desktop's files in the virtual list, drawing
// its rows, the search box and the page links, and the list view's
// replacement procedure.
#include <windows.h>

#include <shellapi.h>

#include "app/file_texts.h"
#include "app/frame_protocol.h"
#include "app/layout.h"
#include "app/texts.h"
#include "messagelist/list_area.h"
#include "messagelist/message_list.h"
#include "platform/text.h"

namespace messagelist {

namespace {
constexpr COLORREF kSelectedRowBackground = RGB(255, 110, 165);
constexpr COLORREF kOddRowBackground = RGB(242, 247, 254);
constexpr COLORREF kEvenRowBackground = RGB(255, 255, 255);
constexpr COLORREF kUnreadText = RGB(0, 0, 255);
// Every cell gets 149 UTF-16 units.
constexpr std::size_t kCellUnits = 149;
// The state image of an item with list check boxes: 1 unchecked, 2 checked.
constexpr UINT kUncheckedImage = 1;
constexpr UINT kCheckedImage = 2;

struct Column {
    const wchar_t* header;
    int width;
};
constexpr Column kColumns[] = {{L"标题", 180}, {L"大小", 70}, {L"接收日期", 130}, {L"发送日期", 130}, {L"来自", 120}};

ListArea theArea;

HWND CreateChild(HWND frame, DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style, int x, int y,
                 int width, int height) {
    return CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, frame, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

const std::string& CellOf(const app::FileCells& cells, int column) {
    switch (column) {
    case 0: return cells.title;
    case 1: return cells.size;
    case 2: return cells.receivedDate;
    case 3: return cells.sentDate;
    default: return cells.from;
    }
}
}  // namespace

void AttachMessageList(HWND frame, std::shared_ptr<app::Desktop> desktop) {
    theArea.Attach(frame, std::move(desktop));
}

void ListArea::Attach(HWND frame, std::shared_ptr<app::Desktop> desktop) {
    Forget();
    frame_ = frame;
    desktop_ = std::move(desktop);
    if (desktop_) desktop_->AddView(*this);
}

void ListArea::Forget() {
    if (desktop_) desktop_->RemoveView(*this);
    *this = ListArea();
}

void ListArea::FolderOpened(const std::string& title) {
    if (!list_) CreateMessageListArea();
    if (title_) SetWindowTextW(title_, platform::Utf8ToWide(title).c_str());
    if (searchBox_) SetWindowTextW(searchBox_, L"");
}

// The six controls, placed once relative to the client width now; only the
// list follows later changes of the frame's size.
void ListArea::CreateMessageListArea() {
    RECT client{};
    if (!IsWindow(frame_) || !GetClientRect(frame_, &client)) return;
    const int w = client.right;
    const int pane = app::kTreePaneWidth;
    title_ = CreateChild(frame_, 0, L"Static", L"", WS_CLIPSIBLINGS | WS_CLIPCHILDREN, pane + 7, 35, 160, 12);
    searchBox_ = CreateChild(frame_, WS_EX_CLIENTEDGE, L"Edit", L"", ES_AUTOHSCROLL, w - 330, 30, 180, 20);
    searchCaption_ = CreateChild(frame_, 0, L"Static", L"搜索", 0, w - 145, 33, 40, 18);
    prevPage_ = CreateChild(frame_, 0, L"Static", L"上一页", SS_NOTIFY, w - 100, 33, 40, 20);
    nextPage_ = CreateChild(frame_, 0, L"Static", L"下一页", SS_NOTIFY, w - 55, 33, 40, 20);
    for (HWND control : {title_, searchBox_, searchCaption_, prevPage_, nextPage_})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    SetPropW(prevPage_, ui::kLinkTextProperty, reinterpret_cast<HANDLE>(1));
    SetPropW(nextPage_, ui::kLinkTextProperty, reinterpret_cast<HANDLE>(1));
    if (searchBox_)
        previousSearchProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(searchBox_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ListArea::SearchBoxProc)));

    app::Bounds b = app::MessageListBounds(w, client.bottom);
    list_ = CreateChild(frame_, WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", LVS_REPORT | LVS_EDITLABELS | LVS_OWNERDATA, b.x,
                        b.y, b.width, b.height);
    if (!list_) return;
    DragAcceptFiles(list_, TRUE);
    previousProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ListArea::MessageListProc)));
    SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    // The check boxes are the file list's: the list asks for them.
    SendMessageW(list_, LVM_SETCALLBACKMASK, LVIS_STATEIMAGEMASK, 0);
    int position = 0;
    for (const Column& column : kColumns) {
        LVCOLUMNW lvc{};
        lvc.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        lvc.fmt = LVCFMT_LEFT;
        lvc.cx = column.width;
        lvc.pszText = const_cast<wchar_t*>(column.header);
        lvc.iSubItem = position;
        SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(position++), reinterpret_cast<LPARAM>(&lvc));
    }
}

void ListArea::FilesShown(const app::FileList& files, const std::string& title, bool newRows) {
    if (!list_) return;
    // A new set of rows: the selection of the old one means nothing now. The
    // same rows with their sizes filled in keep it.
    if (newRows || ListView_GetItemCount(list_) != static_cast<int>(files.Count())) {
        ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        SendMessageW(list_, LVM_SETITEMCOUNT, files.Count(), 0);
    }
    InvalidateRect(list_, nullptr, TRUE);
    if (title_ && !title.empty()) SetWindowTextW(title_, platform::Utf8ToWide(title).c_str());
}

void ListArea::OnGetDispInfo(NMLVDISPINFOW& info) {
    LVITEMW& item = info.item;
    const app::FileRow* row = desktop_->Files().Row(static_cast<std::size_t>(item.iItem));
    if (!row) return;
    if (item.mask & LVIF_TEXT && item.pszText && item.cchTextMax > 0) {
        app::FileCells cells = app::CellsOf(*row);
        std::size_t room = std::min<std::size_t>(kCellUnits, static_cast<std::size_t>(item.cchTextMax) - 1);
        cell_ = platform::CutWide(platform::Utf8ToWide(CellOf(cells, item.iSubItem)), room);
        cell_.copy(item.pszText, cell_.size());
        item.pszText[cell_.size()] = L'\0';
    }
    if (item.mask & LVIF_STATE) {
        bool checked = desktop_->Files().Checked(static_cast<std::size_t>(item.iItem));
        item.state = (item.state & ~LVIS_STATEIMAGEMASK) |
                     INDEXTOSTATEIMAGEMASK(checked ? kCheckedImage : kUncheckedImage);
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
// alternate their backgrounds, and unread rows are written in blue.
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
    const app::FileRow* row = desktop_->Files().Row(static_cast<std::size_t>(item));
    if (row && !row->read) draw.clrText = kUnreadText;
    return CDRF_NOTIFYSUBITEMDRAW | CDRF_NOTIFYPOSTPAINT;
}

LRESULT ListArea::MessageListNotify(NMHDR* header) {
    switch (header->code) {
    case NM_CUSTOMDRAW: return OnCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    case NM_RCLICK: ShowMenu(); break;
    case LVN_GETDISPINFOW: OnGetDispInfo(*reinterpret_cast<NMLVDISPINFOW*>(header)); break;
    case NM_CLICK: {
        LVHITTESTINFO hit{};
        hit.pt = reinterpret_cast<NMITEMACTIVATE*>(header)->ptAction;
        if (ListView_SubItemHitTest(list_, &hit) >= 0 && (hit.flags & LVHT_ONITEMSTATEICON)) ToggleCheck(hit.iItem);
        break;
    }
    case NM_DBLCLK:  // the file, fetched and checked, opened with its program
        if (int item = reinterpret_cast<NMITEMACTIVATE*>(header)->iItem; item >= 0)
            desktop_->OpenFile(static_cast<std::size_t>(item));
        break;
    case LVN_KEYDOWN:
        if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey == VK_SPACE)
            for (std::size_t item : SelectedRows()) ToggleCheck(static_cast<int>(item));
        break;
    }
    return 0;
}

void ListArea::OnControlCommand(WPARAM wParam, HWND control) {
    if (!control) return;
    if (control == prevPage_ && HIWORD(wParam) == STN_CLICKED) StepPage(-1);
    if (control == nextPage_ && HIWORD(wParam) == STN_CLICKED) StepPage(+1);
    // A cleared box shows the whole folder again.
    if (control == searchBox_ && HIWORD(wParam) == EN_CHANGE && GetWindowTextLengthW(searchBox_) == 0)
        desktop_->Search("");
}

void ListArea::Search() {
    int length = GetWindowTextLengthW(searchBox_);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(searchBox_, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    desktop_->Search(platform::WideToUtf8(text));
}

// A page further or back: the rows move by a page, the first row of the new
// page at the top.
void ListArea::StepPage(int direction) {
    std::size_t count = desktop_->Files().Count();
    if (count == 0) return;
    std::size_t top = static_cast<std::size_t>(SendMessageW(list_, LVM_GETTOPINDEX, 0, 0));
    std::size_t visible = static_cast<std::size_t>(SendMessageW(list_, LVM_GETCOUNTPERPAGE, 0, 0));
    std::size_t target = app::PageStepTop(top, count, visible, direction);
    RECT row{LVIR_BOUNDS, 0, 0, 0};
    if (!SendMessageW(list_, LVM_GETITEMRECT, static_cast<WPARAM>(top), reinterpret_cast<LPARAM>(&row))) return;
    int height = row.bottom - row.top;
    SendMessageW(list_, LVM_SCROLL, 0, static_cast<LPARAM>((static_cast<long long>(target) - static_cast<long long>(top)) * height));
}

LRESULT CALLBACK ListArea::SearchBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ListArea& area = theArea;
    WNDPROC previous = area.previousSearchProc_;
    if (message == WM_KEYDOWN && wParam == VK_RETURN) {
        area.Search();
        return 0;
    }
    if (message == WM_CHAR && wParam == L'\r') return 0;  // no beep for the Enter taken above
    if (message == WM_NCDESTROY) area.previousSearchProc_ = nullptr;
    return previous ? CallWindowProcW(previous, window, message, wParam, lParam)
                    : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK ListArea::MessageListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ListArea& area = theArea;
    WNDPROC previous = area.previousProc_;
    switch (message) {
    case ui::kReflectedNotify: return area.MessageListNotify(reinterpret_cast<NMHDR*>(lParam));
    case ui::kReflectedCommand: area.OnControlCommand(wParam, reinterpret_cast<HWND>(lParam)); return 0;
    case ui::kFrameResized: {
        app::Bounds b = app::MessageListBounds(static_cast<int>(wParam), static_cast<int>(lParam));
        MoveWindow(window, b.x, b.y, b.width, b.height, TRUE);
        return 0;
    }
    case WM_NCPAINT:
        if (wParam == 1) return 0;  // no frame of its own
        break;
    case WM_COMMAND:
        if (lParam == 0) area.MessageListCommand(wParam);
        break;
    case WM_DROPFILES: area.FilesDropped(reinterpret_cast<HDROP>(wParam)); break;
    case WM_NCDESTROY: area.Forget(); break;
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

}  // namespace messagelist
