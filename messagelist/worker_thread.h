// The handles of the transfer workers: each start closes the handle of the
// worker before it, which may still be finishing and goes on without it.
#pragma once

#include <windows.h>

namespace messagelist {

inline void ReplaceThreadHandle(HANDLE& slot, HANDLE next) {
    if (slot) CloseHandle(slot);
    slot = next;
}

}  // namespace messagelist
