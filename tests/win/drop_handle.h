// A real drop handle, as the shell hands one to WM_DROPFILES: a movable
// global block that starts with DROPFILES and holds the paths as wide texts,
// each ended by a zero, the list ended by one more.
#pragma once

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

namespace wintest {

inline HDROP MakeDropHandle(const std::vector<std::wstring>& paths, POINT at = POINT{10, 10}) {
    // The list's final zero, and one more, so that an empty list reads as
    // empty to readers that look for two zeros in a row.
    std::size_t units = 2;
    for (const std::wstring& path : paths) units += path.size() + 1;
    const std::size_t bytes = sizeof(DROPFILES) + units * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (!block) return nullptr;
    auto* head = static_cast<DROPFILES*>(GlobalLock(block));
    head->pFiles = sizeof(DROPFILES);
    head->pt = at;
    head->fNC = FALSE;
    head->fWide = TRUE;
    auto* names = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(head) + sizeof(DROPFILES));
    for (const std::wstring& path : paths) {
        std::memcpy(names, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
        names += path.size() + 1;
    }
    GlobalUnlock(block);
    return static_cast<HDROP>(block);
}

}  // namespace wintest
