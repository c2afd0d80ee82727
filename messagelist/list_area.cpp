// Making the area, showing the desktop's files in the virtual list (its
// rows: list_rows.cpp), the columns and their sorting, the search box and
// the page links, and the list view's replacement procedure.
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <iterator>

#include "app/file_texts.h"
#include "app/frame_protocol.h"
#include "app/layout.h"
#include "app/texts.h"
#include "messagelist/drag_out.h"
#include "messagelist/list_area.h"
#include "messagelist/message_list.h"
#include "platform/text.h"

namespace messagelist {

namespace {
constexpr ListColumn kFileColumns[] = {{L"名称", 46, app::FileColumn::Name},
                                       {L"大小", 14, app::FileColumn::Size},
                                       {L"修改时间", 22, app::FileColumn::Modified},
                                       {L"类型", 18, app::FileColumn::Type}};
// The mail view: the columns the program showed before it showed files.
constexpr ListColumn kMailColumns[] = {{L"标题", 32, app::FileColumn::Name},
                                       {L"大小", 12, app::FileColumn::Size},
                                       {L"接收日期", 19, app::FileColumn::Modified},
                                       {L"发送日期", 19, app::FileColumn::Modified},
                                       {L"来自", 18, app::FileColumn::Name}};
// Room kept for the vertical scroll bar when the columns share the width.
constexpr int kScrollBarRoom = 22;

ListArea theArea;

HWND CreateChild(HWND frame, DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style, int x, int y,
                 int width, int height) {
    return CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, frame, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
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

// The six controls; they follow the frame's size (ui::kFrameResized).
void ListArea::CreateMessageListArea() {
    RECT client{};
    if (!IsWindow(frame_) || !GetClientRect(frame_, &client)) return;
    const int w = client.right;
    app::ListHeaderBounds h = app::ListHeaderLayout(w);
    auto make = [&](DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style, const app::Bounds& b) {
        return CreateChild(frame_, exStyle, className, text, style, b.x, b.y, b.width, b.height);
    };
    // A folder's name is shown as it is: "R&D" underlines nothing.
    title_ = make(0, L"Static", L"", SS_NOPREFIX | SS_ENDELLIPSIS | WS_CLIPSIBLINGS, h.title);
    searchBox_ = make(WS_EX_CLIENTEDGE, L"Edit", L"", ES_AUTOHSCROLL | WS_TABSTOP, h.searchBox);
    searchCaption_ = make(0, L"Static", L"搜索", 0, h.searchCaption);
    prevPage_ = make(0, L"Static", L"上一页", SS_NOTIFY, h.previousPage);
    nextPage_ = make(0, L"Static", L"下一页", SS_NOTIFY, h.nextPage);
    for (HWND control : {title_, searchBox_, searchCaption_, prevPage_, nextPage_})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    SetPropW(prevPage_, ui::kLinkTextProperty, reinterpret_cast<HANDLE>(1));
    SetPropW(nextPage_, ui::kLinkTextProperty, reinterpret_cast<HANDLE>(1));
    if (searchBox_)
        previousSearchProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(searchBox_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ListArea::SearchBoxProc)));

    app::Bounds b = app::MessageListBounds(w, client.bottom);
    // No in-place label editing: a rename goes through its own command.
    list_ = CreateChild(frame_, WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                        LVS_REPORT | LVS_OWNERDATA | LVS_SHAREIMAGELISTS | WS_TABSTOP, b.x, b.y, b.width, b.height);
    if (!list_) return;
    DragAcceptFiles(list_, TRUE);
    previousProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ListArea::MessageListProc)));
    SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    // The check boxes are the file list's: the list asks for them.
    SendMessageW(list_, LVM_SETCALLBACKMASK, LVIS_STATEIMAGEMASK, 0);
    // The shell's small icons, one per file type; the system owns the list.
    SHFILEINFOW info{};
    auto icons =
        reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(L"x.txt", FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                                                    SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    if (icons) ListView_SetImageList(list_, icons, LVSIL_SMALL);
    SetColumns();
}

// The columns of the view chosen, sharing the list's width; the sorted
// column's header carries an arrow.
void ListArea::SetColumns() {
    while (ListView_DeleteColumn(list_, 0)) {
    }
    RECT area{};
    GetClientRect(list_, &area);
    const int width = std::max<int>(area.right - kScrollBarRoom, 200);
    int position = 0;
    for (const ListColumn& column : Columns()) {
        std::wstring header = HeaderText(position);
        LVCOLUMNW lvc{};
        lvc.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        lvc.fmt = position == 1 ? LVCFMT_RIGHT : LVCFMT_LEFT;
        lvc.cx = width * column.share / 100;
        lvc.pszText = header.data();
        lvc.iSubItem = position;
        SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(position++), reinterpret_cast<LPARAM>(&lvc));
    }
}

const std::vector<ListColumn>& ListArea::Columns() const {
    static const std::vector<ListColumn> files(std::begin(kFileColumns), std::end(kFileColumns));
    static const std::vector<ListColumn> mails(std::begin(kMailColumns), std::end(kMailColumns));
    return mailView_ ? mails : files;
}

std::wstring ListArea::HeaderText(int position) const {
    const ListColumn& column = Columns()[static_cast<std::size_t>(position)];
    std::wstring text = column.header;
    const app::FileList& files = desktop_->Files();
    if (column.sortedBy == files.SortColumn() && sortedPosition_ == position)
        text += files.SortDescending() ? L" \x25BC" : L" \x25B2";
    return text;
}

// A click on a header sorts by its column; a second click turns the order round.
void ListArea::OnColumnClick(int position) {
    if (position < 0 || static_cast<std::size_t>(position) >= Columns().size()) return;
    app::FileList& files = desktop_->Files();
    app::FileColumn column = Columns()[static_cast<std::size_t>(position)].sortedBy;
    bool descending = sortedPosition_ == position && !files.SortDescending();
    sortedPosition_ = position;
    files.SortBy(column, descending);
    for (int i = 0; i < static_cast<int>(Columns().size()); ++i) {
        std::wstring header = HeaderText(i);
        LVCOLUMNW lvc{};
        lvc.mask = LVCF_TEXT;
        lvc.pszText = header.data();
        SendMessageW(list_, LVM_SETCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&lvc));
    }
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    InvalidateRect(list_, nullptr, TRUE);
}

void ListArea::SetMailView(bool mailView) {
    if (!list_ || mailView == mailView_) return;
    mailView_ = mailView;
    sortedPosition_ = 0;
    desktop_->Files().SortBy(app::FileColumn::Name, false);
    SetColumns();
    InvalidateRect(list_, nullptr, TRUE);
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

LRESULT ListArea::MessageListNotify(NMHDR* header) {
    switch (header->code) {
    case NM_CUSTOMDRAW: return OnCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    case NM_RCLICK: ShowMenu(); break;
    case LVN_GETDISPINFOW: OnGetDispInfo(*reinterpret_cast<NMLVDISPINFOW*>(header)); break;
    case LVN_COLUMNCLICK: OnColumnClick(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem); break;
    case NM_CLICK: {
        LVHITTESTINFO hit{};
        hit.pt = reinterpret_cast<NMITEMACTIVATE*>(header)->ptAction;
        if (ListView_SubItemHitTest(list_, &hit) >= 0 && (hit.flags & LVHT_ONITEMSTATEICON)) ToggleCheck(hit.iItem);
        break;
    }
    case LVN_BEGINDRAG: DragFilesOut(*desktop_, SelectedRows()); break;
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
    SendMessageW(list_, LVM_SCROLL, 0,
                 static_cast<LPARAM>((static_cast<long long>(target) - static_cast<long long>(top)) * height));
}

LRESULT ListArea::StateBits() const {
    HWND focus = GetFocus();
    return (FirstSelected() >= 0 ? ui::kListRowSelected : 0) | (mailView_ ? ui::kListMailView : 0) |
           (focus && (focus == list_ || IsChild(list_, focus)) ? ui::kListHasFocus : 0);
}

void ListArea::OnFrameResized(int width, int height) {
    app::Bounds b = app::MessageListBounds(width, height);
    MoveWindow(list_, b.x, b.y, b.width, b.height, TRUE);
    app::ListHeaderBounds h = app::ListHeaderLayout(width);
    const std::pair<HWND, app::Bounds> placed[] = {{title_, h.title},
                                                   {searchBox_, h.searchBox},
                                                   {searchCaption_, h.searchCaption},
                                                   {prevPage_, h.previousPage},
                                                   {nextPage_, h.nextPage}};
    for (const auto& [control, at] : placed)
        if (control) MoveWindow(control, at.x, at.y, at.width, at.height, TRUE);
    // The columns keep their shares of the new width.
    RECT area{};
    GetClientRect(list_, &area);
    const int columnsWidth = std::max<int>(area.right - kScrollBarRoom, 200);
    for (std::size_t i = 0; i < Columns().size(); ++i)
        ListView_SetColumnWidth(list_, static_cast<int>(i), columnsWidth * Columns()[i].share / 100);
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
    case ui::kFrameResized: area.OnFrameResized(static_cast<int>(wParam), static_cast<int>(lParam)); return 0;
    case ui::kFrameCommand: area.MessageListCommand(MAKEWPARAM(static_cast<WORD>(wParam), 0)); return 0;
    case ui::kListStateQuery: return area.StateBits();
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
