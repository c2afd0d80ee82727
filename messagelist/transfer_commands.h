// The context-menu commands that hand work to the transfer workers.
#pragma once

#include <windows.h>

namespace messagelist {

// "下载附件": the first selected row's attachment, through the save dialog.
void DownloadAttachmentCommand(HWND list);

// "上传文件": a file chosen in the open dialog, into the open folder.
void UploadFileCommand(HWND list);

// True when the attached cell says "true" in any letter case.
bool IsAttachedCell(const char* attached);

}  // namespace messagelist
