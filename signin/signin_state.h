// The sign-in window's state, shared by the files that handle its messages.
// There is one sign-in window per run; its state lives for the process.
#pragma once

#include <windows.h>

#include "app/window_look.h"
#include "signin/saved_accounts.h"
#include "signin/signin_window.h"

namespace signin {

struct SignInWindowState {
    SignInControls controls;
    SignedIn onSignedIn;
    // Procedures of the controls before they were replaced; every message
    // ends up in them.
    WNDPROC helpLabelProc = nullptr;
    WNDPROC groupProc = nullptr;
    WNDPROC accountBoxProc = nullptr;
    WNDPROC accountEditProc = nullptr;
    WNDPROC passwordBoxProc = nullptr;
    ui::WindowDrag drag;
    bool signingIn = false;  // a sign-in exchange runs
    unsigned attempt = 0;    // the running (or last) sign-in's number
    bool signInSucceeded = false;
};

SignInWindowState& TheSignInWindow();

// signin_window.cpp
LRESULT CALLBACK SignInWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// signin_controls.cpp
void CreateSignInControls(HWND window, SignInWindowState& state);
void FillAccountBox(const SignInControls& controls);
void SetInputsReadOnly(const SignInControls& controls, bool readOnly);
SignInOptions CheckedOptions(const SignInControls& controls);

// signin_menus.cpp
void ShowFileMenu(const SignInControls& controls);
void ShowHelpMenu(const SignInControls& controls);
LRESULT CALLBACK SignInMenuLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam);

// signin_input.cpp
LRESULT CALLBACK SignInGroupProc(HWND group, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK SignInInputProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace signin
