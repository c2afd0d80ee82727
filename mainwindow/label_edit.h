// Editing a folder item's label renames the folder.
#pragma once

#include <windows.h>

#include <commctrl.h>

namespace mainwindow {

// TVN_BEGINLABELEDITW: 1 refuses the edit.
LRESULT OnBeginLabelEdit(const NMTVDISPINFOW& info);

// TVN_ENDLABELEDITW: a new text renames the folder and reloads the tree.
LRESULT OnEndLabelEdit(const NMTVDISPINFOW& info);

}  // namespace mainwindow
