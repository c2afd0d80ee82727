// The command-line client's commands. Each command file registers its
// commands with a static CommandRegistration; main() dispatches by name.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "catalog/mail_store.h"
#include "session/session.h"

namespace cli {

enum ExitCode { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

struct Context {
    session::Session& session;
    std::string account;
    std::ostream& out;
    std::ostream& err;
    std::string password{};  // kept once signed in, to sign in again when the provider ends the session
    // With --imap: the server's URL, and the mailbox once signed in there
    // (the webmail session above then stays unused).
    std::string imapUrl{};
    std::unique_ptr<catalog::MailStore> imapStore{};
};

struct Command {
    const char* name;
    const char* arguments;  // as shown in the usage text, e.g. "FOLDER_ID"
    const char* summary;
    int minArgs;
    int maxArgs;  // -1: no upper bound
    bool signsIn; // sign in before running
    int (*run)(Context& context, const std::vector<std::string>& args);
};

struct CommandRegistration {
    explicit CommandRegistration(const Command& command);
};

const std::vector<Command>& Commands();

// A file that Ctrl+C, a closing terminal or a polite kill removes before
// the process ends (the temporary file of a download under way); empty
// forgets it.
void RemoveOnStop(const std::filesystem::path& path);

// Prints "vantlo-cli: MESSAGE" on the error stream and returns kExitFailure.
int Fail(Context& context, const std::string& message);

// Checks the domain and signs in with the password from VANTLO_PASSWORD or
// one line of standard input (with --imap: any address, at the IMAP
// server). Returns kExitOk or prints why not.
int SignInAccount(Context& context);

}  // namespace cli
