#include "mount/errno_map.h"

#include <cerrno>

namespace mount {

using catalog::StoreCode;

int ErrnoOf(const catalog::Outcome& outcome) {
    switch (outcome.code) {
    case StoreCode::Ok: return 0;
    case StoreCode::NotFound: return ENOENT;
    case StoreCode::Refused:
    case StoreCode::SessionExpired:
    case StoreCode::SignInRefused:
    case StoreCode::CertificateRefused: return EACCES;
    case StoreCode::TooLarge:
    case StoreCode::QuotaShortTerm:
    case StoreCode::QuotaDaily: return ENOSPC;
    case StoreCode::TimedOut:
    case StoreCode::Unreachable:
    case StoreCode::Broken:
    case StoreCode::Corrupt:
    case StoreCode::LocalFile:
    case StoreCode::Cancelled: break;
    }
    return EIO;
}

bool WorthLogging(const catalog::Outcome& outcome) {
    return ErrnoOf(outcome) == EIO;
}

}  // namespace mount
