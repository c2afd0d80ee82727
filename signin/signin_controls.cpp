// The controls of the sign-in window: created from one table when the window
// is created, then given their replaced procedures, their font and the
// stored options.
#include <string>
#include <vector>

#include "platform/text.h"
#include "signin/saved_accounts.h"
#include "signin/signin_state.h"

namespace signin {
namespace {

constexpr LPARAM kUnlimitedText = 0x7FFFFFFE;
constexpr int kAccountListHeight = 120;  // room for the drop-down list
constexpr int kOptionBoxId = 4000;       // both check boxes carry it

struct ControlSpec {
    HWND SignInControls::*slot;
    const wchar_t* className;
    const wchar_t* text;
    bool inGroup;  // child of the group box rather than of the window
    int x, y, width, height;
    DWORD style;  // besides WS_CHILD | WS_VISIBLE
    DWORD exStyle;
    int id;
};

// In creation order; the group box comes before the controls inside it.
const ControlSpec kControls[] = {
    {&SignInControls::titleLabel, L"Static", L"Vantlo v1.1.11", false, 10, 8, 130, 15, 0, 0, 0},
    {&SignInControls::fileLabel, L"Static", L"文件(&F)", false, 200, 8, 45, 15, SS_NOTIFY, 0, 0},
    {&SignInControls::helpLabel, L"Static", L"帮助(&H)", false, 248, 8, 45, 15, SS_NOTIFY, 0, 0},
    {&SignInControls::closeLabel, L"Static", L"X", false, 318, 8, 12, 15, SS_NOTIFY, 0, 0},
    // The Tab key walks into the group's controls.
    {&SignInControls::groupBox, L"Button", L"登陆", false, 7, 25, 325, 70, BS_GROUPBOX, WS_EX_CONTROLPARENT, 0},
    {&SignInControls::accountCaption, L"Static", L"帐号:", true, 10, 19, 40, 12, 0, 0, 0},
    {&SignInControls::passwordCaption, L"Static", L"密码:", true, 10, 44, 40, 12, 0, 0, 0},
    {&SignInControls::accountBox, L"COMBOBOX", L"", true, 50, 15, 110, 20,
     WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, 0, 0},
    {&SignInControls::passwordBox, L"Edit", L"", true, 50, 40, 110, 20, ES_PASSWORD | ES_AUTOHSCROLL | WS_TABSTOP,
     WS_EX_CLIENTEDGE, 0},
    {&SignInControls::rememberBox, L"Button", L"记住密码", true, 170, 15, 70, 20, BS_AUTOCHECKBOX | WS_TABSTOP, 0,
     kOptionBoxId},
    {&SignInControls::secureBox, L"Button", L"增强安全", true, 245, 15, 70, 20, BS_AUTOCHECKBOX | WS_TABSTOP, 0,
     kOptionBoxId},
    {&SignInControls::signInButton, L"Button", L"登陆", true, 170, 38, 48, 25, WS_TABSTOP, 0, 0},
    {&SignInControls::settingsButton, L"Button", L"设置", true, 220, 38, 48, 25, 0, 0, 0},
    {&SignInControls::advancedButton, L"Button", L"高级", true, 270, 38, 48, 25, 0, 0, 0},
};

WNDPROC ReplaceProc(HWND control, WNDPROC proc) {
    return reinterpret_cast<WNDPROC>(SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
}

void SetCheck(HWND box, bool checked) {
    SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace

void CreateSignInControls(HWND window, SignInWindowState& state) {
    SignInControls& c = state.controls;
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    for (const ControlSpec& spec : kControls) {
        HWND parent = spec.inGroup ? c.groupBox : window;
        c.*spec.slot = CreateWindowExW(spec.exStyle, spec.className, spec.text, WS_CHILD | WS_VISIBLE | spec.style,
                                       spec.x, spec.y, spec.width, spec.height, parent,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), instance, nullptr);
    }
    c.accountEdit = FindWindowExW(c.accountBox, nullptr, L"Edit", nullptr);

    SendMessageW(c.accountBox, CB_LIMITTEXT, kUnlimitedText, 0);
    SendMessageW(c.passwordBox, EM_SETLIMITTEXT, kUnlimitedText, 0);
    SetWindowPos(c.accountBox, nullptr, 0, 0, 110, kAccountListHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    state.helpLabelProc = ReplaceProc(c.helpLabel, SignInMenuLabelProc);
    state.groupProc = ReplaceProc(c.groupBox, SignInGroupProc);
    state.accountEditProc = c.accountEdit ? ReplaceProc(c.accountEdit, SignInInputProc) : nullptr;
    state.accountBoxProc = ReplaceProc(c.accountBox, SignInInputProc);
    state.passwordBoxProc = ReplaceProc(c.passwordBox, SignInInputProc);

    HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
    for (const ControlSpec& spec : kControls)
        SendMessageW(c.*spec.slot, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);

    SignInOptions options = ReadSignInOptions();
    SetCheck(c.rememberBox, options.remember);
    SetCheck(c.secureBox, options.secure);
}

void FillAccountBox(const SignInControls& controls) {
    std::vector<std::string> names;
    char password[kPasswordOutCapacity] = {};
    if (LoadSavedAccounts(names, password) == StoreStatus::Read) {
        for (const std::string& name : names)
            SendMessageW(controls.accountBox, CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(platform::AnsiToWide(name).c_str()));
        if (!names.empty())
            SendMessageW(controls.accountBox, CB_SETCURSEL, 0, 0);
        else
            SendMessageW(controls.accountBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L""));
    }
    SetWindowTextW(controls.passwordBox, platform::AnsiToWide(password).c_str());
}

void SetInputsReadOnly(const SignInControls& controls, bool readOnly) {
    SendMessageW(controls.accountEdit, EM_SETREADONLY, readOnly, 0);
    SendMessageW(controls.passwordBox, EM_SETREADONLY, readOnly, 0);
}

SignInOptions CheckedOptions(const SignInControls& controls) {
    SignInOptions options;
    options.remember = SendMessageW(controls.rememberBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
    options.secure = SendMessageW(controls.secureBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
    return options;
}

}  // namespace signin
