#include "platform/tls_internal.h"

namespace net {

bool IsIpv4Literal(const std::string& name) {
    int parts = 0, digits = 0, value = 0;
    for (char c : name) {
        if (c >= '0' && c <= '9') {
            value = value * 10 + (c - '0');
            if (++digits > 3 || value > 255) return false;
        } else if (c == '.' && digits > 0 && parts < 3) {
            ++parts;
            digits = value = 0;
        } else {
            return false;
        }
    }
    return parts == 3 && digits > 0;
}

std::string DescribeTlsProblem(TlsOutcome outcome, const std::string& host, const std::string& why) {
    if (outcome == TlsOutcome::CertificateRefused) return "the certificate of " + host + " was refused: " + why;
    return "the secure connection to " + host + " failed: " + why;
}

}  // namespace net
