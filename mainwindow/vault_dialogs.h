// The vaults' two small modal dialogs: the passphrase of a vault being
// opened, and a new vault's name with its passphrase typed twice. What is
// typed is handed back and wiped from the dialog's buffers.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace mainwindow {

// "打开保险箱": the passphrase (UTF-8), or nothing when cancelled. `wrong`:
// the last one was refused, and the dialog says so.
std::optional<std::string> AskVaultPassphrase(HWND owner, const std::string& vaultName, bool wrong);

struct NewVaultAnswer {
    std::string name;  // UTF-8
    std::string passphrase;
};

// "新建保险箱": a name and a passphrase typed twice; OK only when neither is
// empty and the two agree. Nothing when cancelled.
std::optional<NewVaultAnswer> AskNewVault(HWND owner);

}  // namespace mainwindow
