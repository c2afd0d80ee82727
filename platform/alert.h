// The session layer's way of telling the user that an operation could not
// reach the server: a message box captioned "Error" on Windows, a line on
// standard error elsewhere. Tests and the command-line client install a
// hook instead, so nothing modal ever blocks them.
#pragma once

#include <functional>
#include <string>

namespace platform {

// caption and text are UTF-8.
using AlertHook = std::function<void(const std::string& caption, const std::string& text)>;

// Replaces the hook; an empty hook restores the platform default.
void SetAlertHook(AlertHook hook);

// Shows an ownerless box with one OK button (or calls the hook).
void ShowErrorAlert(const std::string& text);

}  // namespace platform
