// The sign-in window's state, shared by the files that handle its messages.
// There is one sign-in window per run; its state lives for the process.
#pragma once

#include <windows.h>

#include "signin/saved_accounts.h"
#include "signin/signin_window.h"

namespace signin {

struct SignInWindowState {
    SignInControls controls;
    // Procedures of the controls before they were replaced; every message
    // ends up in them.
    WNDPROC helpLabelProc = nullptr;
    WNDPROC groupProc = nullptr;
    WNDPROC accountBoxProc = nullptr;
    WNDPROC accountEditProc = nullptr;
    WNDPROC passwordBoxProc = nullptr;
    POINT grabPoint{};  // client position of the last left-button press
    bool signInSucceeded = false;
};

SignInWindowState& TheSignInWindow();

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
