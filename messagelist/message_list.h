// The message list area of the main window's right pane: the list view of
// the open folder's page and the five controls above it, the list's context
// menu and its commands, and the files dropped on it. A view over app/: it
// is made the first time a folder is opened, shows the pages the desktop
// lists, and hands the commands to the desktop.
#pragma once

#include <windows.h>

#include <memory>

#include "app/desktop.h"

namespace messagelist {

// From now on the first folder the desktop opens makes the area in `frame`
// (the main window), which places it through ui::kFrameResized and passes
// the list's notifications back through ui::kReflectedNotify.
void AttachMessageList(HWND frame, std::shared_ptr<app::Desktop> desktop);

}  // namespace messagelist
