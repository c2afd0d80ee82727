// How the main window's frame and the panes placed in it by other views
// meet without knowing each other: the frame passes on what concerns a child
// it did not make, and the child answers for itself.
#pragma once

#include <windows.h>

namespace ui {

// A WM_NOTIFY that the frame received from a child it did not make, sent
// back to that child with the same wParam and lParam; the child's answer is
// the frame's answer.
constexpr UINT kReflectedNotify = WM_APP + 10;

// Sent to each child of the frame after the frame has placed its own panes:
// wParam is the client width, lParam the client height.
constexpr UINT kFrameResized = WM_APP + 11;

// A WM_COMMAND that the frame received from a child it did not make (a
// click on a static with SS_NOTIFY, an edit's change), sent to each child of
// the frame with the same wParam and lParam; the child that made the control
// acts on it.
constexpr UINT kReflectedCommand = WM_APP + 12;

// A command of the frame's menus or keys for the pane that holds the files
// (app::ListCommand in wParam), sent to each child of the frame; the list
// acts on it, the others ignore it.
constexpr UINT kFrameCommand = WM_APP + 13;

// Asked of each child of the frame: the list answers with these bits, the
// others with 0.
constexpr UINT kListStateQuery = WM_APP + 14;
constexpr LRESULT kListRowSelected = 1;
constexpr LRESULT kListMailView = 2;
constexpr LRESULT kListHasFocus = 4;

// A window property: the frame draws a static control that carries it in the
// blue of a link.
constexpr wchar_t kLinkTextProperty[] = L"VantloLinkText";

}  // namespace ui
