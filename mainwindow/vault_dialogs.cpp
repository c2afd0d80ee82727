#include "mainwindow/vault_dialogs.h"

#include <vector>

#include "platform/text.h"

namespace mainwindow {

namespace {

enum : int { kPrompt = 100, kName, kPassphrase, kAgain, kWarning };
constexpr int kLongestText = 256;

// A dialog template in memory (the program has no dialog resources): the
// header, then each control, every record on a DWORD boundary.
class DialogTemplate {
public:
    DialogTemplate(short width, short height, WORD controls) {
        Dword(DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
        Dword(0);
        words_.push_back(controls);
        for (short v : {short(0), short(0), width, height}) words_.push_back(static_cast<WORD>(v));
        words_.push_back(0);  // no menu
        words_.push_back(0);  // the standard class
        Text(L"");            // the title is set when it opens
        words_.push_back(9);
        Text(L"MS Shell Dlg");
    }
    // classAtom: 0x80 button, 0x81 edit, 0x82 static.
    void Control(DWORD style, short x, short y, short width, short height, int id, WORD classAtom,
                 const wchar_t* text) {
        if (words_.size() % 2) words_.push_back(0);
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        for (short v : {x, y, width, height}) words_.push_back(static_cast<WORD>(v));
        words_.push_back(static_cast<WORD>(id));
        words_.push_back(0xFFFF);
        words_.push_back(classAtom);
        Text(text);
        words_.push_back(0);  // no creation data
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void Dword(DWORD value) {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void Text(const wchar_t* text) {
        while (*text) words_.push_back(static_cast<WORD>(*text++));
        words_.push_back(0);
    }
    std::vector<WORD> words_;
};

struct Exchange {
    bool newVault = false;
    std::wstring title, prompt;
    std::string name, passphrase;  // the answer
};

// The edit's text as UTF-8; the control and the copy are wiped.
std::string TakeText(HWND dialog, int id, bool wipe) {
    wchar_t text[kLongestText + 1] = {};
    GetDlgItemTextW(dialog, id, text, kLongestText + 1);
    std::string utf8 = platform::WideToUtf8(text);
    SecureZeroMemory(text, sizeof text);
    if (wipe) SetDlgItemTextW(dialog, id, L"");
    return utf8;
}

void Warn(HWND dialog, const wchar_t* text, int focus) {
    SetDlgItemTextW(dialog, kWarning, text);
    SetFocus(GetDlgItem(dialog, focus));
}

// OK: the answer taken, or a warning and the dialog stays.
bool Accept(HWND dialog, Exchange& exchange) {
    if (!exchange.newVault) {
        exchange.passphrase = TakeText(dialog, kPassphrase, true);
        return true;
    }
    std::string name = TakeText(dialog, kName, false), first = TakeText(dialog, kPassphrase, false),
                again = TakeText(dialog, kAgain, false);
    if (name.empty()) return Warn(dialog, L"请输入保险箱的名称。", kName), false;
    if (first.empty()) return Warn(dialog, L"密码不能为空。", kPassphrase), false;
    if (first != again) {
        SetDlgItemTextW(dialog, kAgain, L"");
        return Warn(dialog, L"两次输入的密码不一致, 请再输入一次。", kAgain), false;
    }
    SetDlgItemTextW(dialog, kPassphrase, L"");
    SetDlgItemTextW(dialog, kAgain, L"");
    exchange.name = std::move(name);
    exchange.passphrase = std::move(first);
    return true;
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* exchange = reinterpret_cast<Exchange*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        exchange = reinterpret_cast<Exchange*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SetWindowTextW(dialog, exchange->title.c_str());
        SetDlgItemTextW(dialog, kPrompt, exchange->prompt.c_str());
        for (int id : {kName, kPassphrase, kAgain}) SendDlgItemMessageW(dialog, id, EM_LIMITTEXT, kLongestText, 0);
        SetFocus(GetDlgItem(dialog, exchange->newVault ? kName : kPassphrase));
        return FALSE;  // the focus is set here
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK && Accept(dialog, *exchange)) EndDialog(dialog, IDOK);
        if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
        return TRUE;
    default: return FALSE;
    }
}

bool Run(HWND owner, const DialogTemplate& form, Exchange& exchange) {
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), form.Get(), owner, DialogProc,
                                   reinterpret_cast<LPARAM>(&exchange)) == IDOK;
}

constexpr DWORD kPasswordEdit = ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;

}  // namespace

std::optional<std::string> AskVaultPassphrase(HWND owner, const std::string& vaultName, bool wrong) {
    DialogTemplate form(200, 76, 5);
    form.Control(SS_LEFT, 7, 7, 186, 10, kPrompt, 0x82, L"");
    form.Control(SS_LEFT, 7, 19, 186, 10, kWarning, 0x82, wrong ? L"保险箱密码错误, 请重新输入。" : L"");
    form.Control(kPasswordEdit, 7, 32, 186, 13, kPassphrase, 0x81, L"");
    form.Control(BS_DEFPUSHBUTTON | WS_TABSTOP, 89, 55, 50, 14, IDOK, 0x80, L"确定");
    form.Control(BS_PUSHBUTTON | WS_TABSTOP, 143, 55, 50, 14, IDCANCEL, 0x80, L"取消");
    Exchange exchange;
    exchange.title = L"打开保险箱";
    exchange.prompt = platform::Utf8ToWide("请输入保险箱 \"" + vaultName + "\" 的密码:");
    if (!Run(owner, form, exchange)) return std::nullopt;
    return std::move(exchange.passphrase);
}

std::optional<NewVaultAnswer> AskNewVault(HWND owner) {
    DialogTemplate form(200, 124, 9);
    form.Control(SS_LEFT, 7, 7, 186, 10, kPrompt, 0x82, L"");
    form.Control(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 18, 186, 13, kName, 0x81, L"");
    form.Control(SS_LEFT, 7, 37, 186, 10, 0, 0x82, L"请输入保险箱密码:");
    form.Control(kPasswordEdit, 7, 48, 186, 13, kPassphrase, 0x81, L"");
    form.Control(SS_LEFT, 7, 67, 186, 10, 0, 0x82, L"再次输入密码:");
    form.Control(kPasswordEdit, 7, 78, 186, 13, kAgain, 0x81, L"");
    form.Control(SS_LEFT, 7, 95, 186, 10, kWarning, 0x82, L"");
    form.Control(BS_DEFPUSHBUTTON | WS_TABSTOP, 89, 106, 50, 14, IDOK, 0x80, L"确定");
    form.Control(BS_PUSHBUTTON | WS_TABSTOP, 143, 106, 50, 14, IDCANCEL, 0x80, L"取消");
    Exchange exchange;
    exchange.newVault = true;
    exchange.title = L"新建保险箱";
    exchange.prompt = L"保险箱名称 (其中文件的名字和内容都在本机加密):";
    if (!Run(owner, form, exchange)) return std::nullopt;
    return NewVaultAnswer{std::move(exchange.name), std::move(exchange.passphrase)};
}

}  // namespace mainwindow
