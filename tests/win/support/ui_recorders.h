// Stand-ins for the user at the program's seams: message boxes are answered
// and recorded, pages that would open in the browser are recorded, file
// dialogs are answered from a list. Each recorder installs its hook for its
// lifetime and puts the previous one back.
//
// Outside any recorder the test program keeps strict hooks installed (see
// InstallStrictSeams): a message box, page or dialog that no test expected
// fails the running test instead of blocking on a modal window.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/ui_seams.h"

namespace wintest {

class MessageRecorder {
public:
    explicit MessageRecorder(int answer = IDOK);
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;
    const std::vector<ui::MessageRequest>& Messages() const { return messages_; }

private:
    std::vector<ui::MessageRequest> messages_;
    ui::MessageHook previous_;
};

struct OpenedPage {
    HWND owner;
    std::string address;
};

class BrowserRecorder {
public:
    BrowserRecorder();
    ~BrowserRecorder();
    BrowserRecorder(const BrowserRecorder&) = delete;
    BrowserRecorder& operator=(const BrowserRecorder&) = delete;
    const std::vector<OpenedPage>& Pages() const { return pages_; }

private:
    std::vector<OpenedPage> pages_;
    ui::BrowserHook previous_;
};

class FileDialogRecorder {
public:
    // Each dialog takes the next answer; nothing (cancel) once they run out.
    explicit FileDialogRecorder(std::vector<std::optional<std::wstring>> answers);
    ~FileDialogRecorder();
    FileDialogRecorder(const FileDialogRecorder&) = delete;
    FileDialogRecorder& operator=(const FileDialogRecorder&) = delete;
    const std::vector<ui::FileDialogRequest>& Requests() const { return requests_; }

private:
    std::vector<std::optional<std::wstring>> answers_;
    std::vector<ui::FileDialogRequest> requests_;
    ui::FileDialogHook previous_;
};

// Hooks that fail the running test: installed once by the test main.
void InstallStrictSeams();

}  // namespace wintest
