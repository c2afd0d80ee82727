// vantlo-mount: the mailbox as a directory (FUSE 3).
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "catalog/drive_cache_dir.h"
#include "mailbox/cache_dir.h"
#include "mailbox/open.h"
#include "mailbox/options.h"
#include "mount/fuse_operations.h"
#include "mount/log.h"
#include "mount/passphrase_vaults.h"
#include "platform/password_input.h"
#include "vantlo/version.h"

namespace {

namespace fs = std::filesystem;

struct Options {
    mailbox::MailboxOptions mailbox;
    std::uint64_t cacheSize = std::uint64_t(1) << 30;
    unsigned connections = 4;
    mount::VolumeOptions volume;
    std::vector<std::string> fuseArgs;  // handed to libfuse as they stand
    std::string mountpoint;
    std::string vaultPassphraseFile;
    bool foreground = false;
};

void PrintUsage() {
    std::cout << "Usage: vantlo-mount [OPTIONS] --account ADDRESS MOUNTPOINT\n"
                 "       vantlo-mount --help | --version\n"
                 "\n"
                 "Mounts the account's mailbox as a directory: its folders are the directories,\n"
                 "its files (all parts put together) the files. Unmount with fusermount3 -u\n"
                 "MOUNTPOINT (or Ctrl+C when it runs with -f).\n"
                 "\n"
                 "Options:\n"
              << mailbox::OptionsHelp()
              << "  --cache-size SIZE     the local copies of files read kept to this (default 1G)\n"
                 "  --dir-cache-time SECONDS  how long a listing is used before it is read again\n"
                 "                        (default 10; changes made here refresh it at once)\n"
                 "  --connections N       connections to the mailbox at most (1 to 16, default 4)\n"
              << mount::kVaultOptionHelp
              << "  -f                    stay in the foreground;  -d  debug output;  -o OPTIONS  for FUSE\n"
                 "\n"
                 "The copies and pending stores live in --cache-dir as it stands, else in\n"
                 "$XDG_CACHE_HOME/vantlo/mount/ACCOUNT (else ~/.cache/vantlo/mount/ACCOUNT).\n"
                 "SIZE is bytes, or with K, M, G (1024, 1024^2, 1024^3). The password is read from\n"
                 "VANTLO_PASSWORD, else from one line of standard input, never from the command line.\n"
                 "A file written here is stored when it is closed; until then its extended\n"
                 "attribute user.vantlo.state says pending (failed after a refused try: it is tried\n"
                 "again); stores not done survive an unmount or a crash and resume at the next mount.\n";
}

int Usage(const std::string& message) {
    std::cerr << "vantlo-mount: " << message << "\nTry 'vantlo-mount --help'.\n";
    return 2;
}

fs::path DefaultCacheDir(const mailbox::MailboxOptions& options) {
    const fs::path base = mailbox::UserCacheDir();
    if (base.empty()) return {};
    return base / "mount" /
           mailbox::FoldedName(options.imapUrl.empty() ? options.account : options.account + "-" + options.imapUrl);
}

int ParseArguments(int argc, char** argv, Options& options) {
    options.fuseArgs.push_back(argv[0]);
    const std::vector<std::string> args(argv, argv + argc);
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const char* { return i + 1 < args.size() ? argv[++i] : nullptr; };
        const char* v = nullptr;
        std::uint64_t number = 0;
        std::string problem;
        mailbox::Taken taken = mailbox::TakeOption(args, i, options.mailbox, problem);
        if (taken == mailbox::Taken::Refused) return Usage(problem);
        if (taken == mailbox::Taken::Taken) {
            if (arg == "--part-size") options.volume.partSize = options.mailbox.partSize;
            if (arg == "--transfers") options.volume.parallelParts = options.mailbox.transfers;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            PrintUsage();
            return 0;
        } else if (arg == "--cache-size") {
            if (!(v = value()) || !mailbox::ParseSize(v, 1 << 20, 1ull << 40, options.cacheSize))
                return Usage("--cache-size needs a size from 1M to 1024G");
        } else if (arg == "--dir-cache-time") {
            if (!(v = value()) || !mailbox::ParseSize(v, 0, 86400, number))
                return Usage("--dir-cache-time needs 0 to 86400 seconds");
            options.volume.dirCacheMs = static_cast<int>(number * 1000);
        } else if (arg == "--connections") {
            if (!(v = value()) || !mailbox::ParseSize(v, 1, 16, number)) return Usage("--connections needs 1 to 16");
            options.connections = static_cast<unsigned>(number);
        } else if (arg == "--vault-passphrase-file") {
            if (!(v = value()) || !*v) return Usage("--vault-passphrase-file needs a file");
            options.vaultPassphraseFile = v;
        } else if (arg == "-o") {
            if (!(v = value())) return Usage("-o needs options");
            options.fuseArgs.insert(options.fuseArgs.end(), {"-o", v});
        } else if (arg == "-f" || arg == "-d" || arg == "-s") {
            options.fuseArgs.push_back(arg);
            options.foreground = options.foreground || arg != "-s";
        } else if (arg.rfind("-", 0) == 0) {
            return Usage("unknown option " + arg);
        } else if (options.mountpoint.empty()) {
            options.mountpoint = arg;
        } else {
            return Usage("one mount point only");
        }
    }
    if (options.mountpoint.empty()) return Usage("no mount point given");
    if (options.mailbox.account.empty()) return Usage("--account is needed");
    return -1;
}

// One mount per cache directory: a second would store the same journal twice.
bool LockCacheDir(const fs::path& dir) {
    std::error_code error;
    fs::create_directories(dir, error);
    int fd = ::open((dir / "lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;  // held until the process ends
    std::cerr << "vantlo-mount: " << dir << " is in use by another vantlo-mount (or cannot be made)\n";
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--version") {
        std::cout << "vantlo-mount " << vantlo::kVersion << "\n";
        return 0;
    }
    Options options;
    int parsed = ParseArguments(argc, argv, options);
    if (parsed >= 0) return parsed;
    // The mount's own directory: --cache-dir as it stands, else one per account.
    const bool defaultCacheDir = options.mailbox.cacheDir.empty();
    fs::path cacheDir = defaultCacheDir ? DefaultCacheDir(options.mailbox) : options.mailbox.cacheDir;
    if (cacheDir.empty()) return Usage("no cache directory: set HOME, XDG_CACHE_HOME or --cache-dir");
    // Only a new, empty or marked directory: the mount clears what it keeps there.
    if (std::string problem; !catalog::ClaimCacheDir(cacheDir, defaultCacheDir, problem)) {
        std::cerr << "vantlo-mount: " << problem << "\n";
        return 1;
    }
    if (!LockCacheDir(cacheDir)) return 1;

    catalog::Journal journal(cacheDir / "pending");
    mount::FileCache cache(cacheDir / "files", options.cacheSize);
    catalog::Times times(cacheDir / "times");
    if (!journal.Open() || !cache.Open()) {
        std::cerr << "vantlo-mount: cannot write under " << cacheDir << "\n";
        return 1;
    }
    times.Load();
    const std::string password = platform::ReadPasswordInput();
    std::string problem;
    if (!mount::VaultsAtStart(options.vaultPassphraseFile, options.volume.vaults, problem)) return Usage(problem);
    options.volume.openedDir = cacheDir / "opened";
    std::unique_ptr<catalog::MailStore> store;
    catalog::Outcome opened = mailbox::OpenMailbox(options.mailbox, password, store);
    if (!opened.Ok()) {
        std::cerr << "vantlo-mount: could not open the mailbox: " << opened.Text() << "\n";
        return 1;
    }
    mount::StorePool pool(std::move(store), options.connections,
                          [options, password](std::unique_ptr<catalog::MailStore>& again) {
                              return mailbox::OpenMailbox(options.mailbox, password, again);
                          });
    options.volume.manifestFile = cacheDir / "manifests";
    mount::Volume volume(pool, journal, cache, times, options.volume);

    options.fuseArgs.insert(options.fuseArgs.end(), {"-o", "fsname=vantlo,subtype=vantlo", options.mountpoint});
    mount::LogToSystem(!options.foreground);  // detached, standard error goes nowhere
    return mount::ServeVolume(options.fuseArgs, volume);
}
