// The padlock a vault's tree item carries after its name, drawn with GDI:
// shut (red body, shackle down) until the vault is opened (green body,
// shackle raised and swung free on the left).
#pragma once

#include <windows.h>

namespace mainwindow {

// Eleven pixels wide, its left edge at x, centred on the line `middle`.
void DrawPadlock(HDC dc, int x, int middle, bool open);

}  // namespace mainwindow
