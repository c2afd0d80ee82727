// What the Schannel client asks of the certificate check.
#pragma once

#include <windows.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>

#include <string>

#include "platform/tls_internal.h"

namespace net {

// 0x%08lx, as SSPI and CryptoAPI codes are written.
std::string Hex(unsigned long code);
// Empty when the server's certificate leads to a trusted root and names the
// peer; otherwise why not.
std::string CheckCertificate(CtxtHandle& context, const TlsPeer& peer);

}  // namespace net
