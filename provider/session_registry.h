// Who is signed in: the NTES_SESS values that the sign-in server handed
// out, and the webmail sessions (sid and Coremail cookie) that the entry
// servers opened. Kept in DATA/sessions.txt, so a client stays signed in
// across a restart of the provider; the newest kMaxEach of each kind are
// kept. A webmail session lives a fixed time from its opening, however it
// is used (the service in the field ends them after about 30 minutes).
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "local_date.h"

namespace provider {

struct WebSession {
    std::string sid;       // 32 letters and digits
    std::string coremail;  // the Coremail cookie's value: 14 characters, the sid, maybe more
    std::string account;
    std::int64_t openedMs = 0;  // milliseconds since the epoch
};

class SessionRegistry {
public:
    static constexpr std::size_t kMaxEach = 256;

    // How long a webmail session lives (default 1800 s); 0 ends each at once.
    void SetLifetime(std::int64_t seconds) { lifetimeMs_ = seconds * 1000; }

    // Loads the file when it exists; false with a reason when it is damaged.
    bool Open(const std::string& path, std::string& error);

    // A new NTES_SESS value for the account.
    std::string SignIn(const std::string& account);
    std::optional<std::string> AccountOfSignIn(std::string_view ntesSess) const;

    // A new webmail session. With `longCookie` the Coremail value carries
    // more after the sid, as the provider in the field does.
    WebSession Enter(const std::string& account, bool longCookie, std::int64_t nowMs = NowMilliseconds());
    // The account when the sid is known, the cookie is that session's and
    // the session has not expired.
    std::optional<std::string> AccountOfWebSession(std::string_view sid, std::string_view coremail,
                                                   std::int64_t nowMs = NowMilliseconds()) const;

private:
    void PersistLocked() const;

    mutable std::mutex mutex_;
    std::string path_;
    std::deque<std::pair<std::string, std::string>> signIns_;  // value, account
    std::deque<WebSession> webSessions_;
    std::int64_t lifetimeMs_ = 1800 * 1000;
};

}  // namespace provider
