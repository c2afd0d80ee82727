// Status codes of the session operations, the sign-in included. The numbers
// up to 16 are the ones the program has always returned; the later ones name
// outcomes that used to hang or pass silently and are now reported.
#pragma once

#include <string>

namespace session {

enum class [[nodiscard]] Status : int{
    Ok = 0,
    FileError = 2,              // a local file could not be opened or created
    ConnectFailed = 3,          // plain connect failed (nothing was sent)
    ReceiveWaitFailed = 12,     // waiting for answer data reported an error
    ConnectWaitFailed = 14,     // waiting for the connection failed or gave up
    SendWaitFailed = 15,        // waiting to send reported an error
    ConnectIndeterminate = 16,  // connect reported neither success nor an error
    TimedOut = 17,              // the server sent nothing for the idle bound
    SendFailed = 18,            // a send reported an error; nothing more was sent
    RequestTooLarge = 19,       // the request would not fit its buffer; nothing sent
    HostUnresolved = 20,        // the webmail host name did not resolve
    Refused = 21,               // the answer lacks what the operation needs
    Incomplete = 22,            // an answer ended before its length, last chunk or closing
                                // brace (a cut-off download included)
    FileTooLarge = 23,          // files of 2 GiB or more are not supported
    NotFound = 24,              // the stored mail did not appear in the inbox
    CertificateRefused = 25,    // the server's certificate failed the check; nothing sent
    SecureChannelFailed = 26,   // the TLS handshake broke off; nothing sent
    Unreadable = 27,            // the answer was not HTTP, lacked a piece it must carry, or its
                                // coding was damaged
    TooSlow = 28,               // a transfer moved fewer bytes than the low-speed bound
    AnswerTooLarge = 29,        // the answer holds more than it may (buffer, inflated size)
    BadName = 30,               // a file name that cannot be sent (control bytes, not UTF-8)
    BoundaryClash = 31,         // the file held every form boundary drawn for it
    Cancelled = 32,             // the caller asked to stop
    // Answers of the sign-in alone; callers tell each one apart.
    SignInRefused = 33,      // wrong password or unknown user: the provider opened no session
    UnsupportedDomain = 34,  // the account's domain is none the provider serves; nothing sent
    AccountTooLong = 35,     // longer than kLongestAccount bytes; nothing sent
    PasswordTooLong = 36,    // longer than kLongestPassword bytes; nothing sent
    PasswordEmpty = 37,      // no password given; nothing sent
    InsecureRedirect = 38,   // a TLS entry server pointed to plain-http webmail
};

const char* StatusText(Status status);

inline bool Succeeded(Status status) {
    return status == Status::Ok;
}

// The connection was refused at the TLS stage; LastTlsProblem()
// (session/exchange.h) says why.
inline bool IsTlsFailure(Status status) {
    return status == Status::CertificateRefused || status == Status::SecureChannelFailed;
}

}  // namespace session
