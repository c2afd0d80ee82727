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
#include "session/status.h"

namespace cli {

enum ExitCode { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

struct Context {
    session::Session& session;
    std::string account;
    std::ostream& out;
    std::ostream& err;
    std::string password{};  // kept once signed in, to sign in again when the provider ends the session
    // The file that keeps the signed-in session between commands; empty
    // when the cache is not used (--no-session-cache).
    std::filesystem::path sessionCache{};
    // With --imap: the server's URL, and the mailbox once signed in there
    // (the webmail session above then stays unused).
    std::string imapUrl{};
    std::unique_ptr<catalog::MailStore> imapStore{};
    // --part-size and --transfers given before the command: what put and get
    // take unless the command names its own.
    std::uint64_t partSize = 0;  // 0: the default
    unsigned transfers = 0;      // 0: the default
};

struct Command {
    const char* name;
    const char* arguments;  // as shown in the usage text, e.g. "FOLDER_ID"
    const char* summary;
    int minArgs;
    int maxArgs;   // -1: no upper bound
    bool signsIn;  // sign in before running
    int (*run)(Context& context, const std::vector<std::string>& args);
};

struct CommandRegistration {
    explicit CommandRegistration(const Command& command);
};

const std::vector<Command>& Commands();

// Prints "vantlo-cli: MESSAGE" on the error stream and returns kExitFailure.
int Fail(Context& context, const std::string& message);

// Checks the domain, then takes the session kept in the cache when there is
// one for this account and provider; else signs in with the password from
// VANTLO_PASSWORD or one line of standard input, and keeps the new session
// in the cache. With --imap: any address, at the IMAP server, never cached.
// Returns kExitOk or prints why not.
int SignInAccount(Context& context);
// The same without the cache's session: a sign-in with the password.
int SignInFresh(Context& context);

}  // namespace cli
