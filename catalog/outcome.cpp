#include "catalog/outcome.h"

namespace catalog {

const char* StoreCodeText(StoreCode code) {
    switch (code) {
    case StoreCode::Ok: return "done";
    case StoreCode::NotFound: return "not found";
    case StoreCode::Refused: return "refused by the mailbox";
    case StoreCode::TooLarge: return "too large for one mail";
    case StoreCode::QuotaShortTerm: return "sending limit reached for now";
    case StoreCode::QuotaDaily: return "daily sending limit reached";
    case StoreCode::SessionExpired: return "the session has expired";
    case StoreCode::TimedOut: return "the mailbox did not answer in time";
    case StoreCode::Unreachable: return "the mailbox cannot be reached";
    case StoreCode::Broken: return "the connection broke";
    case StoreCode::Corrupt: return "verification failed";
    case StoreCode::LocalFile: return "local file error";
    case StoreCode::Cancelled: return "cancelled";
    case StoreCode::SignInRefused: return "wrong password or unknown user";
    case StoreCode::CertificateRefused: return "the mailbox's certificate was refused";
    }
    return "unknown outcome";
}

std::string Outcome::Text() const {
    std::string text = StoreCodeText(code);
    if (!detail.empty()) text += ": " + detail;
    return text;
}

}  // namespace catalog
