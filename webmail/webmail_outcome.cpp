// What a session status and the provider's refusal code come to as a
// store's outcome: the one mapping every webmail call goes through.
#include "session/exchange.h"
#include "webmail/webmail_store.h"

namespace webmail {

using namespace catalog;

namespace {

using session::Status;

StoreCode CodeOfRefusal(const std::string& code) {
    if (code == "FA_OVERFLOW") return StoreCode::TooLarge;
    if (code == "FA_MTA_REJECTED5521") return StoreCode::QuotaShortTerm;
    if (code == "FA_MTA_REJECTED5520") return StoreCode::QuotaDaily;
    if (code == "FA_INVALID_SESSION") return StoreCode::SessionExpired;
    if (code == "FA_MESSAGE_NOT_FOUND" || code == "FA_FOLDER_NOT_FOUND") return StoreCode::NotFound;
    return StoreCode::Refused;
}

StoreCode CodeOf(Status status, const std::string& refusalCode) {
    switch (status) {
    case Status::Ok: return StoreCode::Ok;
    case Status::Refused: return CodeOfRefusal(refusalCode);
    case Status::ConnectFailed:
    case Status::ConnectWaitFailed:
    case Status::ConnectIndeterminate:
    case Status::HostUnresolved:
    case Status::SecureChannelFailed: return StoreCode::Unreachable;
    case Status::CertificateRefused: return StoreCode::CertificateRefused;
    case Status::SignInRefused: return StoreCode::SignInRefused;
    case Status::TimedOut:
    case Status::TooSlow: return StoreCode::TimedOut;
    case Status::ReceiveWaitFailed:
    case Status::SendWaitFailed:
    case Status::SendFailed:
    case Status::Incomplete: return StoreCode::Broken;
    case Status::Unreadable:
    case Status::AnswerTooLarge: return StoreCode::Corrupt;
    case Status::FileError: return StoreCode::LocalFile;
    case Status::FileTooLarge: return StoreCode::TooLarge;
    case Status::NotFound: return StoreCode::NotFound;
    case Status::Cancelled: return StoreCode::Cancelled;
    case Status::RequestTooLarge:
    case Status::BadName:
    case Status::BoundaryClash:
    case Status::UnsupportedDomain:
    case Status::AccountTooLong:
    case Status::PasswordTooLong:
    case Status::PasswordEmpty:
    case Status::InsecureRedirect: return StoreCode::Refused;
    }
    return StoreCode::Refused;
}

}  // namespace

Outcome OutcomeOf(Status status, const std::string& refusalCode, const std::string& what) {
    StoreCode code = CodeOf(status, refusalCode);
    if (code == StoreCode::Ok) return Success();
    std::string detail = what + ": " + session::StatusText(status);
    if (status == Status::Refused && !refusalCode.empty()) detail += " (" + refusalCode + ")";
    if (session::IsTlsFailure(status) && !session::LastTlsProblem().empty())
        detail += " (" + session::LastTlsProblem() + ")";
    Outcome outcome = Failure(code, detail);
    if (status == Status::Refused) outcome.refusal = refusalCode;
    return outcome;
}

}  // namespace webmail
