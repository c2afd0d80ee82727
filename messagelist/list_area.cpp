// Making the area, filling the list from the desktop's pages, drawing its
// rows, and the list view's replacement procedure.
#include <windows.h>

#include <shellapi.h>

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

void SetCell(HWND list, int item, int subItem, const std::string& utf8) {
    std::wstring text = platform::CutWide(platform::Utf8ToWide(utf8), kCellUnits);
    LVITEMW lvi{};
    lvi.iSubItem = subItem;
    lvi.pszText = text.data();
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi));
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
}

// The six controls, placed once relative to the client width now; only the
// list follows later changes of the frame's size.
void ListArea::CreateMessageListArea() {
    RECT client{};
    if (!IsWindow(frame_) || !GetClientRect(frame_, &client)) return;
    const int w = client.right;
    const int pane = app::kTreePaneWidth;
    title_ = CreateChild(frame_, 0, L"Static", L"", WS_CLIPSIBLINGS | WS_CLIPCHILDREN, pane + 7, 35, 160, 12);
    searchBox_ = CreateChild(frame_, WS_EX_CLIENTEDGE, L"Edit", L"", 0, w - 330, 30, 180, 20);
    searchCaption_ = CreateChild(frame_, 0, L"Static", L"搜索", 0, w - 145, 33, 40, 18);
    prevPage_ = CreateChild(frame_, 0, L"Static", L"上一页", 0, w - 100, 33, 40, 20);
    nextPage_ = CreateChild(frame_, 0, L"Static", L"下一页", 0, w - 55, 33, 40, 20);
    for (HWND control : {title_, searchBox_, searchCaption_, prevPage_, nextPage_})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    SetPropW(prevPage_, ui::kLinkTextProperty, reinterpret_cast<HANDLE>(1));
    SetPropW(nextPage_, ui::kLinkTextProperty, reinterpret_cast<HANDLE>(1));

    app::Bounds b = app::MessageListBounds(w, client.bottom);
    list_ = CreateChild(frame_, WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", LVS_REPORT | LVS_EDITLABELS, b.x, b.y, b.width,
                        b.height);
    if (!list_) return;
    DragAcceptFiles(list_, TRUE);
    previousProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ListArea::MessageListProc)));
    SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
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

void ListArea::PageShown(const app::Page& page) {
    if (!list_) return;
    SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
    for (std::size_t i = 0; i < page.rows.size(); ++i) {
        const app::Message& row = page.rows[i];
        std::wstring title = platform::Utf8ToWide(app::ListTitle(row));
        LVITEMW lvi{};
        lvi.mask = LVIF_TEXT;
        lvi.iItem = static_cast<int>(i);
        lvi.pszText = title.data();
        int item = static_cast<int>(SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&lvi)));
        SetCell(list_, item, 1, app::FormatSizeText(row.size));
        SetCell(list_, item, 2, row.receivedDate);
        SetCell(list_, item, 3, row.sentDate);
        SetCell(list_, item, 4, row.from);
    }
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
    const std::vector<app::Message>& rows = desktop_->ShownPage().rows;
    bool read = item >= 0 && static_cast<std::size_t>(item) < rows.size() && app::IsTrueInAnyCase(rows[item].read);
    if (!read) draw.clrText = kUnreadText;
    return CDRF_NOTIFYSUBITEMDRAW | CDRF_NOTIFYPOSTPAINT;
}

LRESULT ListArea::MessageListNotify(NMHDR* header) {
    if (header->code == NM_CUSTOMDRAW) return OnCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    if (header->code == NM_RCLICK) ShowMenu();
    return 0;
}

LRESULT CALLBACK ListArea::MessageListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ListArea& area = theArea;
    WNDPROC previous = area.previousProc_;
    switch (message) {
    case ui::kReflectedNotify: return area.MessageListNotify(reinterpret_cast<NMHDR*>(lParam));
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
