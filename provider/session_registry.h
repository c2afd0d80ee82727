// Who is signed in: the NTES_SESS values that the sign-in server handed
// out, and the webmail sessions (sid and Coremail cookie) that the entry
// servers opened. Kept in DATA/sessions.txt, so a client stays signed in
// across a restart of the provider; the newest kMaxEach of each kind are
// kept.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace provider {

struct WebSession {
    std::string sid;       // 32 letters and digits
    std::string coremail;  // the Coremail cookie's value: 14 characters, the sid, maybe more
    std::string account;
};

class SessionRegistry {
public:
    static constexpr std::size_t kMaxEach = 256;

    // Loads the file when it exists; false with a reason when it is damaged.
    bool Open(const std::string& path, std::string& error);

    // A new NTES_SESS value for the account.
    std::string SignIn(const std::string& account);
    std::optional<std::string> AccountOfSignIn(std::string_view ntesSess) const;

    // A new webmail session. With `longCookie` the Coremail value carries
    // more after the sid, as the provider in the field does.
    WebSession Enter(const std::string& account, bool longCookie);
    // The account when the sid is known and the cookie is that session's.
    std::optional<std::string> AccountOfWebSession(std::string_view sid, std::string_view coremail) const;

private:
    void PersistLocked() const;

    mutable std::mutex mutex_;
    std::string path_;
    std::deque<std::pair<std::string, std::string>> signIns_;  // value, account
    std::deque<WebSession> webSessions_;
};

}  // namespace provider
