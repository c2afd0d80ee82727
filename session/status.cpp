#include "session/status.h"

namespace session {

const char* StatusText(Status status) {
    switch (status) {
    case Status::Ok: return "done";
    case Status::FileError: return "the local file could not be opened or created";
    case Status::ConnectFailed: return "could not connect to the server";
    case Status::ReceiveWaitFailed: return "waiting for the answer failed";
    case Status::ConnectWaitFailed: return "could not connect to the server";
    case Status::SendWaitFailed: return "waiting to send failed";
    case Status::ConnectIndeterminate: return "the connection attempt gave no result";
    case Status::TimedOut: return "the server did not answer in time";
    case Status::SendFailed: return "the connection broke while sending";
    case Status::RequestTooLarge: return "the request is too large";
    case Status::HostUnresolved: return "the server name could not be resolved";
    case Status::Refused: return "the provider refused the request";
    case Status::Incomplete: return "the answer ended before it was complete";
    case Status::FileTooLarge: return "files of 2 GiB or more are not supported";
    case Status::NotFound: return "the stored mail did not arrive";
    case Status::CertificateRefused: return "the server's certificate was refused";
    case Status::SecureChannelFailed: return "the secure connection could not be set up";
    case Status::Unreadable: return "the provider's answer was not understood";
    case Status::TooSlow: return "the transfer was slower than the low-speed bound";
    case Status::AnswerTooLarge: return "the provider's answer is larger than it may be";
    case Status::BadName: return "the file name holds control characters or is not UTF-8";
    case Status::BoundaryClash: return "the file holds every form boundary drawn for it";
    case Status::Cancelled: return "cancelled";
    case Status::SignInRefused: return "wrong password or unknown user";
    case Status::UnsupportedDomain: return "unsupported account domain";
    case Status::AccountTooLong: return "the account name is too long (at most 63 bytes)";
    case Status::PasswordTooLong: return "the password is too long (at most 64 bytes)";
    case Status::PasswordEmpty: return "the password is empty";
    case Status::InsecureRedirect: return "the provider sent the session to a server without TLS";
    }
    return "unknown status";
}

}  // namespace session
