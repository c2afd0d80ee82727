#include "ui_recorders.h"

#include <gtest/gtest.h>

#include "platform/text.h"

namespace wintest {

MessageRecorder::MessageRecorder(int answer) {
    previous_ = ui::SetMessageHook([this, answer](const ui::MessageRequest& request) {
        messages_.push_back(request);
        return answer;
    });
}

MessageRecorder::~MessageRecorder() {
    ui::SetMessageHook(std::move(previous_));
}

BrowserRecorder::BrowserRecorder() {
    previous_ = ui::SetBrowserHook([this](HWND owner, const std::string& address) {
        pages_.push_back(OpenedPage{owner, address});
    });
}

BrowserRecorder::~BrowserRecorder() {
    ui::SetBrowserHook(std::move(previous_));
}

FileDialogRecorder::FileDialogRecorder(std::vector<std::optional<std::wstring>> answers)
    : answers_(std::move(answers)) {
    previous_ = ui::SetFileDialogHook([this](const ui::FileDialogRequest& request) -> std::optional<std::wstring> {
        std::size_t index = requests_.size();
        requests_.push_back(request);
        return index < answers_.size() ? answers_[index] : std::nullopt;
    });
}

FileDialogRecorder::~FileDialogRecorder() {
    ui::SetFileDialogHook(std::move(previous_));
}

void InstallStrictSeams() {
    ui::SetMessageHook([](const ui::MessageRequest& request) {
        ADD_FAILURE() << "unexpected message box \"" << platform::WideToUtf8(request.caption)
                      << "\": " << platform::WideToUtf8(request.text);
        return IDOK;
    });
    ui::SetBrowserHook(
        [](HWND, const std::string& address) { ADD_FAILURE() << "unexpected page opened: " << address; });
    ui::SetFileDialogHook([](const ui::FileDialogRequest&) -> std::optional<std::wstring> {
        ADD_FAILURE() << "unexpected file dialog";
        return std::nullopt;
    });
}

}  // namespace wintest
