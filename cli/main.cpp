// vantlo-cli: the session operations from the command line.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/mailbox.h"
#include "mailbox/open.h"
#include "mailbox/options.h"
#include "platform/arguments.h"
#include "vantlo/version.h"

namespace {

// Bounds of the CLI's own numeric options.
constexpr double kLongestSpeedTime = 3600;
constexpr double kLargestSpeedLimit = 1 << 30;

void PrintUsage(std::ostream& out) {
    out << "Usage: vantlo-cli [OPTIONS] --account ADDRESS COMMAND [ARGS...]\n"
           "       vantlo-cli domains\n"
           "       vantlo-cli --help | --version\n"
           "\n"
           "Options:\n"
        << mailbox::OptionsHelp()
        << "  --speed-limit BYTES   a transfer fails when fewer bytes than this move within\n"
           "  --speed-time SECONDS  this long (defaults 1024 bytes in 30 seconds; 1 to 2^30\n"
           "                        bytes, 1 to 3600 seconds)\n"
           "  --no-session-cache    sign in for this command alone: neither take nor keep a session\n"
           "\n"
           "The password is read from the environment variable VANTLO_PASSWORD, or else from one\n"
           "line of standard input. It is never taken from the command line.\n"
           "Once signed in, the session (never the password) is kept in the user's cache directory,\n"
           "readable by the user alone, and the next commands use it without signing in; when the\n"
           "provider has ended it, they sign in again by themselves. signout forgets it.\n"
           "\n"
           "Commands:\n";
    for (const cli::Command& command : cli::Commands()) {
        std::string head = std::string("  ") + command.name + (command.arguments[0] ? " " : "") + command.arguments;
        out << head;
        if (head.size() >= 36) out << "\n" << std::string(4, ' ');
        out << std::string(head.size() < 36 ? 36 - head.size() : 32, ' ') << command.summary << "\n";
    }
    out << "\n"
           "Paths: folders by name from the top, levels separated by /, e.g. 工作文档/2026/报告.pdf;\n"
           "  a name's own / is written ／ (U+FF0F). Digits name a folder by id, a KEY its file.\n"
           "  sync keeps a record per pair of directories in the cache directory; --dry-run\n"
           "  prints the steps and sends nothing.\n"
           "Files: a file larger than the part size is stored as one mail per part. A file's KEY\n"
           "is the message id of its part 1; get, stat, mv and rm act on all of its parts.\n"
           "  ls, find print NAME SIZE PARTS STORED KEY (find also FOLDER_ID), tab-separated;\n"
           "    PARTS is followed by \"incomplete: ...\" naming what is missing or stored twice,\n"
           "    STORED is UTC. Sizes come from the files' manifests, remembered in the user's\n"
           "    cache directory so that the next listing reads nothing.\n"
           "  ls --messages prints ID SIZE ATTACHED RECEIVED SUBJECT per message.\n"
           "  put --part-size SIZE: bytes, or K, M, G (1024, 1024^2, 1024^3); 1 to below 2G,\n"
           "    default 32M. get writes OUT_PATH.vantlo-partial and replaces OUT_PATH only once\n"
           "    every part and the whole file match their SHA-256.\n"
           "  put and get move --transfers N parts at once (1 to 16, default 4). Interrupted,\n"
           "    the same command finishes the job: put keeps the parts already stored (\"resumed:\n"
           "    K of N parts already stored\"), get the parts already fetched and verified.\n"
           "\n"
           "Names and subjects are UTF-8. Exit status: 0 success, 1 failure (one line on standard\n"
           "error says why), 2 wrong usage.\n";
}

int Usage(const std::string& message) {
    std::cerr << "vantlo-cli: " << message << "\n";
    std::cerr << "Try 'vantlo-cli --help'.\n";
    return cli::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    platform::UseUtf8Console();
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "vantlo-cli " << vantlo::kVersion << "\n";
        return cli::kExitOk;
    }
    const std::vector<std::string> argsIn = platform::Utf8Arguments(argc, argv);
    session::Session session;
    mailbox::MailboxOptions options;
    bool useSessionCache = true;
    std::vector<std::string> rest;
    for (std::size_t i = 1; i < argsIn.size(); ++i) {
        const std::string& arg = argsIn[i];
        // The value after an option, or nullptr when the option ends the line.
        auto value = [&]() -> const std::string* { return i + 1 < argsIn.size() ? &argsIn[++i] : nullptr; };
        if (!rest.empty()) {
            rest.push_back(arg);
            continue;
        }
        std::string problem;
        mailbox::Taken taken = mailbox::TakeOption(argsIn, i, options, problem);
        if (taken == mailbox::Taken::Refused) return Usage(problem);
        if (taken == mailbox::Taken::Taken) continue;
        if (arg == "--help" || arg == "-h") {
            PrintUsage(std::cout);
            return cli::kExitOk;
        } else if (arg == "--speed-time") {
            const std::string* v = value();
            double seconds = 0;
            if (!v || !mailbox::ParseNumber(*v, 1, kLongestSpeedTime, seconds))
                return Usage(arg + " needs a number of seconds from 1 to 3600");
            session.limits.speedTimeMs = static_cast<int>(seconds * 1000);
        } else if (arg == "--speed-limit") {
            const std::string* v = value();
            double bytes = 0;
            if (!v || v->find('.') != std::string::npos || !mailbox::ParseNumber(*v, 1, kLargestSpeedLimit, bytes))
                return Usage("--speed-limit needs a number of bytes from 1 to 1073741824");
            session.limits.speedLimitBytes = static_cast<long long>(bytes);
        } else if (arg == "--no-session-cache") {
            useSessionCache = false;
        } else if (arg.rfind("--", 0) == 0) {
            return Usage("unknown option " + arg);
        } else {
            rest.push_back(arg);
        }
    }
    if (rest.empty()) return Usage("no command given");

    const cli::Command* command = nullptr;
    for (const cli::Command& candidate : cli::Commands())
        if (rest[0] == candidate.name) command = &candidate;
    if (!command) return Usage("unknown command " + rest[0]);
    std::vector<std::string> args(rest.begin() + 1, rest.end());
    int count = static_cast<int>(args.size());
    if (count < command->minArgs || (command->maxArgs >= 0 && count > command->maxArgs))
        return Usage(std::string("wrong arguments for ") + command->name + "; usage: " + command->name + " " +
                     command->arguments);

    mailbox::ApplyToSession(options, session);
    cli::Context context{session, options.account, std::cout, std::cerr};
    context.imapUrl = options.imapUrl;
    context.partSize = options.partSize;
    context.transfers = options.transfers;
    const std::string& account = options.account;
    if (useSessionCache && !account.empty() && options.imapUrl.empty())
        context.sessionCache = cli::SessionCachePath(account);
    if (command->signsIn) {
        if (account.empty()) return Usage(std::string(command->name) + " needs --account");
        int signedIn = cli::SignInAccount(context);
        if (signedIn != cli::kExitOk) return signedIn;
    }
    return command->run(context, args);
}
