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

#include "webmail/webmail_store.h"
#include "mount/fuse_operations.h"
#include "mount/log.h"
#include "platform/password_input.h"
#include "session/provider_directory.h"
#include "session/signin.h"
#include "vantlo/version.h"
#ifdef VANTLO_MOUNT_IMAP
#include "imap/imap_store.h"
#endif

namespace {

namespace fs = std::filesystem;

struct Options {
    std::string provider, caFile, imapUrl, account;
    fs::path cacheDir;
    std::uint64_t cacheSize = std::uint64_t(1) << 30;
    unsigned connections = 4;
    mount::VolumeOptions volume;
    std::vector<std::string> fuseArgs;  // handed to libfuse as they stand
    std::string mountpoint;
    bool foreground = false;
};

void PrintUsage() {
    std::cout
        << "Usage: vantlo-mount [OPTIONS] --account ADDRESS MOUNTPOINT\n"
           "       vantlo-mount --help | --version\n"
           "\n"
           "Mounts the account's mailbox as a directory: its folders are the directories,\n"
           "its files (all parts put together) the files. Unmount with fusermount3 -u\n"
           "MOUNTPOINT (or Ctrl+C when it runs with -f).\n"
           "\n"
           "Options:\n"
           "  --provider [https://]HOST:PORT  the webmail provider to use instead of the\n"
           "                        built-in servers (default: VANTLO_PROVIDER)\n"
           "  --imap URL            an IMAP account instead: imaps://HOST[:PORT], or\n"
           "                        imap://HOST[:PORT] with STARTTLS (plain only to loopback)\n"
           "  --ca-file PATH        trust only this PEM file's certificates (default: VANTLO_CA_FILE)\n"
           "  --account ADDRESS     the account's mail address\n"
           "  --part-size SIZE      files larger than this are stored in parts (default 32M)\n"
           "  --cache-size SIZE     the local copies of files read kept to this (default 1G)\n"
           "  --cache-dir DIR       where copies and pending stores live (default\n"
           "                        $XDG_CACHE_HOME/vantlo/mount/ACCOUNT, else ~/.cache/...)\n"
           "  --dir-cache-time SECONDS  how long a listing is used before it is read again\n"
           "                        (default 10; changes made here refresh it at once)\n"
           "  --connections N       connections to the mailbox at most (1 to 16, default 4)\n"
           "  -f                    stay in the foreground;  -d  debug output;  -o OPTIONS  for FUSE\n"
           "\n"
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

bool ParseSize(const std::string& text, std::uint64_t least, std::uint64_t most, std::uint64_t& size) {
    if (text.empty() || text.size() > 13) return false;
    std::string digits = text;
    std::uint64_t unit = 1;
    switch (digits.back()) {
    case 'K': case 'k': unit = 1ull << 10; break;
    case 'M': case 'm': unit = 1ull << 20; break;
    case 'G': case 'g': unit = 1ull << 30; break;
    default: break;
    }
    if (unit != 1) digits.pop_back();
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return false;
    size = std::stoull(digits) * unit;
    return size >= least && size <= most;
}

std::string Folded(const std::string& text) {
    std::string name;
    for (char c : text) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '@' || c == '.' || c == '-' || c == '_';
        name.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : plain ? c : '_');
    }
    return name;
}

fs::path DefaultCacheDir(const Options& options) {
    fs::path base;
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && cache[0] == '/') base = fs::path(cache) / "vantlo";
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/') base = fs::path(home) / ".cache" / "vantlo";
    if (base.empty()) return {};
    return base / "mount" / Folded(options.imapUrl.empty() ? options.account : options.account + "-" + options.imapUrl);
}

int ParseArguments(int argc, char** argv, Options& options) {
    options.fuseArgs.push_back(argv[0]);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        std::uint64_t number = 0;
        if (arg == "--help" || arg == "-h") {
            PrintUsage();
            return 0;
        } else if (arg == "--provider") {
            session::Scheme scheme;
            std::string host;
            std::uint16_t port = 0;
            if (!(v = value()) || !session::ParseProviderOverride(v, scheme, host, port))
                return Usage("--provider needs HOST:PORT or https://HOST:PORT");
            options.provider = v;
        } else if (arg == "--imap") {
            if (!(v = value()) || !*v) return Usage("--imap needs imaps://HOST[:PORT] or imap://HOST[:PORT]");
            options.imapUrl = v;
        } else if (arg == "--ca-file" || arg == "--account" || arg == "--cache-dir") {
            if (!(v = value()) || !*v) return Usage(arg + " needs a value");
            if (arg == "--ca-file") options.caFile = v;
            else if (arg == "--account") options.account = v;
            else options.cacheDir = fs::absolute(v);
        } else if (arg == "--part-size") {
            if (!(v = value()) || !ParseSize(v, 1, (1ull << 31) - 1, options.volume.partSize))
                return Usage("--part-size needs a size from 1 byte to below 2G");
        } else if (arg == "--cache-size") {
            if (!(v = value()) || !ParseSize(v, 1 << 20, 1ull << 40, options.cacheSize))
                return Usage("--cache-size needs a size from 1M to 1024G");
        } else if (arg == "--dir-cache-time") {
            if (!(v = value()) || !ParseSize(v, 0, 86400, number)) return Usage("--dir-cache-time needs 0 to 86400 seconds");
            options.volume.dirCacheMs = static_cast<int>(number * 1000);
        } else if (arg == "--connections") {
            if (!(v = value()) || !ParseSize(v, 1, 16, number)) return Usage("--connections needs 1 to 16");
            options.connections = static_cast<unsigned>(number);
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
    if (options.account.empty()) return Usage("--account is needed");
    return -1;
}

// Signs in on the account (the webmail provider's, or IMAP's); called again
// when every connection of the mount was lost.
catalog::Outcome OpenMailbox(const Options& options, const std::string& password,
                             std::unique_ptr<catalog::MailStore>& store) {
    if (!options.imapUrl.empty()) {
#ifdef VANTLO_MOUNT_IMAP
        std::string caFile = options.caFile;
        if (caFile.empty())
            if (const char* env = std::getenv("VANTLO_CA_FILE")) caFile = env;
        return imap::OpenStore(options.imapUrl, options.account, password, caFile, imap::StoreLimits{}, store);
#else
        return {catalog::StoreCode::Refused, "this build has no IMAP store"};
#endif
    }
    const int entry = session::EntryForAccount(options.account);
    if (entry == 0) return {catalog::StoreCode::Refused, "unsupported account domain in '" + options.account + "'"};
    auto signedIn = std::make_unique<session::Session>();
    if (!options.provider.empty()) signedIn->providerOverride = options.provider;
    signedIn->caFile = options.caFile;
    session::SignInResult result = session::SignIn(*signedIn, options.account, entry, password);
    if (result == session::SignInResult::SecureConnectionFailed)
        return {catalog::StoreCode::Unreachable, "sign-in failed: " + session::LastTlsProblem()};
    if (result != session::SignInResult::Ok)
        return {result == session::SignInResult::Refused ? catalog::StoreCode::Refused : catalog::StoreCode::Unreachable,
                std::string("sign-in failed: ") + session::SignInResultText(result)};
    auto webmail = std::make_unique<webmail::WebmailStore>(std::move(signedIn));
    const std::string account = options.account;
    webmail->SetSignInAgain([account, password, entry](session::Session& again) {
        return session::SignIn(again, account, entry, password) == session::SignInResult::Ok;
    });
    store = std::move(webmail);
    return {};
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
    if (options.cacheDir.empty()) options.cacheDir = DefaultCacheDir(options);
    if (options.cacheDir.empty()) return Usage("no cache directory: set HOME, XDG_CACHE_HOME or --cache-dir");
    if (!LockCacheDir(options.cacheDir)) return 1;

    mount::Journal journal(options.cacheDir / "pending");
    mount::FileCache cache(options.cacheDir / "files", options.cacheSize);
    mount::Times times(options.cacheDir / "times");
    if (!journal.Open() || !cache.Open()) {
        std::cerr << "vantlo-mount: cannot write under " << options.cacheDir << "\n";
        return 1;
    }
    times.Load();
    const std::string password = platform::ReadPasswordInput();
    std::unique_ptr<catalog::MailStore> store;
    catalog::Outcome opened = OpenMailbox(options, password, store);
    if (!opened.Ok()) {
        std::cerr << "vantlo-mount: could not open the mailbox: " << opened.Text() << "\n";
        return 1;
    }
    mount::StorePool pool(std::move(store), options.connections,
                          [options, password](std::unique_ptr<catalog::MailStore>& again) {
                              return OpenMailbox(options, password, again);
                          });
    mount::Volume volume(pool, journal, cache, times, options.volume);

    options.fuseArgs.insert(options.fuseArgs.end(), {"-o", "fsname=vantlo,subtype=vantlo", options.mountpoint});
    mount::LogToSystem(!options.foreground);  // detached, standard error goes nowhere
    return mount::ServeVolume(options.fuseArgs, volume);
}
