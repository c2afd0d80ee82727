#include "session_registry.h"

#include <cstdio>
#include <cstdlib>

#include "atomic_file.h"
#include "local_date.h"
#include "random_text.h"

namespace provider {

namespace {

bool SplitTabs(std::string_view line, std::string_view (&fields)[5], std::size_t& count) {
    count = 0;
    std::size_t start = 0;
    while (count < 5) {
        std::size_t tab = line.find('\t', start);
        fields[count++] = line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
        if (tab == std::string_view::npos) return true;
        start = tab + 1;
    }
    return false;  // more fields than any record has
}

}  // namespace

bool SessionRegistry::Open(const std::string& path, std::string& error) {
    path_ = path;
    std::string text;
    if (!ReadWholeFile(path_, text)) return true;  // none yet
    std::size_t start = 0;
    int lineNumber = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line = std::string_view(text).substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        std::string_view f[5];
        std::size_t count = 0;
        bool fits = SplitTabs(line, f, count);
        if (fits && count == 3 && f[0] == "ntes") {
            signIns_.emplace_back(std::string(f[1]), std::string(f[2]));
        } else if (fits && (count == 4 || count == 5) && f[0] == "web") {
            // Sessions written before they had an opening time start their life now.
            std::int64_t opened = count == 5 ? std::strtoll(std::string(f[4]).c_str(), nullptr, 10) : 0;
            webSessions_.push_back(WebSession{std::string(f[1]), std::string(f[2]), std::string(f[3]),
                                              opened > 0 ? opened : NowMilliseconds()});
        } else {
            error = path_ + ": line " + std::to_string(lineNumber) + " is not a session record";
            return false;
        }
    }
    while (signIns_.size() > kMaxEach) signIns_.pop_front();
    while (webSessions_.size() > kMaxEach) webSessions_.pop_front();
    return true;
}

void SessionRegistry::PersistLocked() const {
    std::string text;
    for (const auto& [value, account] : signIns_) text += "ntes\t" + value + "\t" + account + "\n";
    for (const WebSession& web : webSessions_)
        text +=
            "web\t" + web.sid + "\t" + web.coremail + "\t" + web.account + "\t" + std::to_string(web.openedMs) + "\n";
    // Sessions are a convenience across restarts; when the disk refuses,
    // they still hold for this run.
    if (!path_.empty() && !WriteFileAtomically(path_, text))
        std::fprintf(stderr, "vantlo-provider: cannot write %s\n", path_.c_str());
}

std::string SessionRegistry::SignIn(const std::string& account) {
    std::string value = RandomAlnum(48);
    std::lock_guard<std::mutex> hold(mutex_);
    signIns_.emplace_back(value, account);
    while (signIns_.size() > kMaxEach) signIns_.pop_front();
    PersistLocked();
    return value;
}

std::optional<std::string> SessionRegistry::AccountOfSignIn(std::string_view ntesSess) const {
    std::lock_guard<std::mutex> hold(mutex_);
    for (const auto& [value, account] : signIns_)
        if (value == ntesSess) return account;
    return std::nullopt;
}

WebSession SessionRegistry::Enter(const std::string& account, bool longCookie, std::int64_t nowMs) {
    WebSession web;
    web.account = account;
    web.openedMs = nowMs;
    web.sid = RandomAlnum(32);
    web.coremail = RandomAlnum(14) + web.sid;
    if (longCookie) web.coremail += "%7C" + std::to_string(NowSeconds()) + "%7C0%7Cmail";
    std::lock_guard<std::mutex> hold(mutex_);
    webSessions_.push_back(web);
    while (webSessions_.size() > kMaxEach) webSessions_.pop_front();
    PersistLocked();
    return web;
}

std::optional<std::string> SessionRegistry::AccountOfWebSession(std::string_view sid, std::string_view coremail,
                                                                std::int64_t nowMs) const {
    std::lock_guard<std::mutex> hold(mutex_);
    for (const WebSession& web : webSessions_)
        if (web.sid == sid && web.coremail == coremail && nowMs - web.openedMs < lifetimeMs_) return web.account;
    return std::nullopt;
}

}  // namespace provider
