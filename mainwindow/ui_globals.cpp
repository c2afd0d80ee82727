#include "mainwindow/ui_globals.h"

#include <cstring>
#include <mutex>

namespace mainwindow {

namespace {
std::mutex folderIdLock;
char currentFolderId[kFolderIdBytes] = {};
}  // namespace

std::string CurrentFolderId() {
    std::lock_guard<std::mutex> lock(folderIdLock);
    return std::string(currentFolderId, strnlen(currentFolderId, kFolderIdBytes));
}

void SetCurrentFolderId(const std::string& folderId) {
    std::lock_guard<std::mutex> lock(folderIdLock);
    std::size_t length = folderId.size() < kFolderIdBytes - 1 ? folderId.size() : kFolderIdBytes - 1;
    std::memset(currentFolderId, 0, kFolderIdBytes);
    std::memcpy(currentFolderId, folderId.data(), length);
}

}  // namespace mainwindow
