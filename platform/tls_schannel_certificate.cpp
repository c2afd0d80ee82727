// The server certificate's check for the Schannel client: the chain to a
// trusted root (or to the roots of a CA file given by the user) and the
// peer's name. Schannel's own check is off (see tls_schannel.cpp).
#include "platform/tls_schannel_certificate.h"

#include <wincrypt.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "platform/text.h"

namespace net {

namespace {

struct FreeCertificate {
    void operator()(const CERT_CONTEXT* c) const { CertFreeCertificateContext(c); }
};
struct FreeChain {
    void operator()(const CERT_CHAIN_CONTEXT* c) const { CertFreeCertificateChain(c); }
};
struct CloseStore {
    void operator()(void* store) const { CertCloseStore(store, 0); }
};
struct FreeChainEngine {
    void operator()(void* engine) const { CertFreeCertificateChainEngine(static_cast<HCERTCHAINENGINE>(engine)); }
};
using CertificatePtr = std::unique_ptr<const CERT_CONTEXT, FreeCertificate>;
using ChainPtr = std::unique_ptr<const CERT_CHAIN_CONTEXT, FreeChain>;
using StorePtr = std::unique_ptr<void, CloseStore>;
using ChainEnginePtr = std::unique_ptr<void, FreeChainEngine>;

// The certificates of a PEM file in a memory store; null when there are none.
StorePtr ReadCaFile(const std::string& path) {
    std::ifstream file(std::filesystem::path(platform::Utf8ToWide(path)), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    StorePtr store(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
    if (!store) return nullptr;
    const std::string begin = "-----BEGIN CERTIFICATE-----", end = "-----END CERTIFICATE-----";
    int added = 0;
    for (std::size_t at = text.find(begin); at != std::string::npos; at = text.find(begin, at)) {
        std::size_t stop = text.find(end, at);
        if (stop == std::string::npos) break;
        stop += end.size();
        DWORD pemLength = static_cast<DWORD>(stop - at), size = 0;
        if (CryptStringToBinaryA(text.data() + at, pemLength, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                                 nullptr)) {
            std::vector<BYTE> der(size);
            if (CryptStringToBinaryA(text.data() + at, pemLength, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr,
                                     nullptr) &&
                CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(), size,
                                                 CERT_STORE_ADD_ALWAYS, nullptr))
                ++added;
        }
        at = stop;
    }
    return added > 0 ? std::move(store) : nullptr;
}

std::string ChainProblem(DWORD trust, DWORD policyError, const std::string& name) {
    if ((trust & CERT_TRUST_IS_NOT_TIME_VALID) || policyError == static_cast<DWORD>(CERT_E_EXPIRED))
        return "it has expired or is not yet valid";
    if (trust & CERT_TRUST_IS_NOT_SIGNATURE_VALID) return "a signature in its chain is not valid";
    if ((trust & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN)) ||
        policyError == static_cast<DWORD>(CERT_E_UNTRUSTEDROOT) || policyError == static_cast<DWORD>(CERT_E_CHAINING))
        return "it is not issued by a trusted authority";
    if (policyError == static_cast<DWORD>(CERT_E_CN_NO_MATCH)) return "it does not name " + name;
    if ((trust & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) || policyError == static_cast<DWORD>(CERT_E_WRONG_USAGE))
        return "it is not meant for servers";
    if (trust & CERT_TRUST_IS_REVOKED) return "it has been revoked";
    return "its chain failed the check (status " + Hex(trust) + ", policy error " + Hex(policyError) + ")";
}

}  // namespace

std::string CheckCertificate(CtxtHandle& context, const TlsPeer& peer) {
    PCCERT_CONTEXT received = nullptr;
    if (QueryContextAttributesW(&context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &received) != SEC_E_OK || !received)
        return "the server sent no certificate";
    CertificatePtr certificate(received);

    StorePtr roots;
    ChainEnginePtr engine;  // null: the system's roots
    if (!peer.caFile.empty()) {
        roots = ReadCaFile(peer.caFile);
        if (!roots) return "no trusted certificate could be read from " + peer.caFile;
        CERT_CHAIN_ENGINE_CONFIG config{};
        // The size that ends before dwExclusiveFlags (Windows 7's): Wine
        // refuses the later, larger one.
        config.cbSize = offsetof(CERT_CHAIN_ENGINE_CONFIG, hExclusiveTrustedPeople) + sizeof(HCERTSTORE);
        config.hExclusiveRoot = roots.get();
        HCERTCHAINENGINE made = nullptr;
        if (!CertCreateCertificateChainEngine(&config, &made)) return "the trusted certificates could not be used";
        engine.reset(made);
    }

    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    PCCERT_CHAIN_CONTEXT built = nullptr;
    if (!CertGetCertificateChain(static_cast<HCERTCHAINENGINE>(engine.get()), certificate.get(), nullptr,
                                 certificate->hCertStore, &chainPara, 0, nullptr, &built))
        return "its chain could not be built";
    ChainPtr chain(built);

    std::wstring name = platform::Utf8ToWide(peer.name);
    HTTPSPolicyCallbackData server{};
    server.cbStruct = sizeof server;
    server.dwAuthType = AUTHTYPE_SERVER;
    server.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &server;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &status))
        return "its chain could not be checked";
    // Both verdicts count: Wine's policy check alone passes a chain whose
    // issuer is unknown.
    DWORD trust = chain->TrustStatus.dwErrorStatus;
    if (trust == 0 && status.dwError == 0) return "";
    return ChainProblem(trust, status.dwError, peer.name);
}

std::string Hex(unsigned long code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lx", code);
    return text;
}

}  // namespace net
