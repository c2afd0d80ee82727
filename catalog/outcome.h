// What a mailbox operation came to: a code that callers branch on (the mount
// maps it to an errno, the command-line client to its exit status) and a
// detail for the person reading the message. No exceptions on these paths.
#pragma once

#include <string>

namespace catalog {

enum class StoreCode {
    Ok,
    NotFound,        // no such mail, folder or file
    Refused,         // the mailbox refused the request (or the request is not allowed)
    TooLarge,        // the mailbox's size limit for one mail
    QuotaShortTerm,  // too much sent lately: wait and try again
    QuotaDaily,      // the day's sending quota is used up
    SessionExpired,  // signed out by the mailbox; signing in again helps
    TimedOut,        // the mailbox went silent past its bound
    Unreachable,     // no connection to the mailbox
    Broken,          // the connection broke mid-way
    Corrupt,         // bytes or answers that do not check out
    LocalFile,       // a local file could not be read or written
    Cancelled,       // the caller asked to stop
    // The two refusals of a sign-in that the person at the keyboard can mend.
    SignInRefused,       // wrong password or unknown user
    CertificateRefused,  // the server's certificate failed the check; nothing was sent
};

const char* StoreCodeText(StoreCode code);

struct Outcome {
    Outcome() = default;
    Outcome(StoreCode code_, std::string detail_, std::string refusal_ = {})
        : code(code_), detail(std::move(detail_)), refusal(std::move(refusal_)) {}

    StoreCode code = StoreCode::Ok;
    std::string detail;
    // The mailbox's own code for a refusal when it gave one (the webmail
    // provider's "FA_OVERFLOW", an IMAP response code such as "OVERQUOTA"),
    // for callers whose texts depend on it; empty otherwise.
    std::string refusal;

    bool Ok() const { return code == StoreCode::Ok; }
    // "code text: detail", or the code text alone.
    std::string Text() const;
};

inline Outcome Success() {
    return {};
}
inline Outcome Failure(StoreCode code, std::string detail) {
    return {code, std::move(detail)};
}

}  // namespace catalog
