#include "tls_setup.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <ctime>
#include <functional>

#include "atomic_file.h"

namespace provider {

namespace {

struct Freer {
    void operator()(X509* cert) const { X509_free(cert); }
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    void operator()(BIO* bio) const { BIO_free(bio); }
    void operator()(BIGNUM* number) const { BN_free(number); }
};
using Cert = std::unique_ptr<X509, Freer>;
using Key = std::unique_ptr<EVP_PKEY, Freer>;
using Bio = std::unique_ptr<BIO, Freer>;

constexpr long kDay = 24 * 3600;

std::string OpenSslError(const std::string& what) {
    char text[256] = "";
    unsigned long error = ERR_get_error();
    if (error != 0) ERR_error_string_n(error, text, sizeof text);
    ERR_clear_error();
    return what + (error != 0 ? std::string(": ") + text : std::string());
}

bool AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (extension == nullptr) return false;
    bool added = X509_add_ext(cert, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

// A certificate for `key` named `commonName`, signed by `issuer` with
// `issuerKey` (itself when both are null), valid from an hour ago for `days`.
Cert MakeCertificate(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey, long days,
                     const std::pair<int, const char*>* extensions, std::size_t extensionCount) {
    Cert cert(X509_new());
    std::unique_ptr<BIGNUM, Freer> serial(BN_new());
    if (!cert || !serial || X509_set_version(cert.get(), 2) != 1 || BN_rand(serial.get(), 120, 0, 0) != 1 ||
        BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(cert.get())) == nullptr)
        return nullptr;
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), days * kDay);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("vantlo-provider"), -1,
                               -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    if (issuer == nullptr) {
        issuer = cert.get();
        issuerKey = key;
    }
    if (X509_set_issuer_name(cert.get(), X509_get_subject_name(issuer)) != 1 || X509_set_pubkey(cert.get(), key) != 1)
        return nullptr;
    for (std::size_t i = 0; i < extensionCount; ++i)
        if (!AddExtension(cert.get(), issuer, extensions[i].first, extensions[i].second)) return nullptr;
    if (X509_sign(cert.get(), issuerKey, EVP_sha256()) <= 0) return nullptr;
    return cert;
}

bool WritePem(const std::string& path, const std::function<int(BIO*)>& write) {
    Bio bio(BIO_new(BIO_s_mem()));
    if (!bio || write(bio.get()) != 1) return false;
    char* data = nullptr;
    long size = BIO_get_mem_data(bio.get(), &data);
    return size > 0 && WriteFileAtomically(path, std::string_view(data, static_cast<std::size_t>(size)));
}

Cert ReadCert(const std::string& path) {
    Bio bio(BIO_new_file(path.c_str(), "r"));
    return Cert(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

// The files from an earlier start, when they still serve.
bool StillServes(const TlsFiles& files) {
    Cert ca = ReadCert(files.caFile);
    Cert server = ReadCert(files.certFile);
    Bio keyBio(BIO_new_file(files.keyFile.c_str(), "r"));
    Key key(keyBio ? PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr) : nullptr);
    std::time_t tomorrow = std::time(nullptr) + kDay;
    const bool serves = ca && server && key && EVP_PKEY_base_id(key.get()) == EVP_PKEY_RSA &&
                        X509_verify(server.get(), X509_get0_pubkey(ca.get())) == 1 &&
                        X509_check_private_key(server.get(), key.get()) == 1 &&
                        X509_cmp_time(X509_get0_notAfter(server.get()), &tomorrow) > 0;
    ERR_clear_error();
    return serves;
}

}  // namespace

void TlsContextFree::operator()(ssl_ctx_st* context) const {
    SSL_CTX_free(context);
}

bool MakeTestCertificates(const std::string& directory, TlsFiles& files, std::string& error) {
    files = TlsFiles{directory + "/ca.pem", directory + "/server.pem", directory + "/server-key.pem"};
    if (!MakeDirectories(directory)) {
        error = "cannot create " + directory;
        return false;
    }
    if (StillServes(files)) return true;
    // RSA: Wine's chain check now and then refuses valid P-256 signatures.
    Key caKey(EVP_RSA_gen(2048));
    Key serverKey(EVP_RSA_gen(2048));
    const std::pair<int, const char*> caExtensions[] = {
        {NID_basic_constraints, "critical,CA:TRUE"},
        {NID_key_usage, "critical,keyCertSign,cRLSign"},
        {NID_subject_key_identifier, "hash"},
    };
    const std::pair<int, const char*> serverExtensions[] = {
        {NID_basic_constraints, "critical,CA:FALSE"},
        {NID_key_usage, "critical,digitalSignature"},
        {NID_ext_key_usage, "serverAuth"},
        {NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1,DNS:127.0.0.1"},
        {NID_subject_key_identifier, "hash"},
        {NID_authority_key_identifier, "keyid"},
    };
    Cert ca = caKey ? MakeCertificate(caKey.get(), "vantlo-provider test CA", nullptr, nullptr, 3650, caExtensions, 3)
                    : nullptr;
    Cert server = ca && serverKey
                      ? MakeCertificate(serverKey.get(), "localhost", ca.get(), caKey.get(), 365, serverExtensions, 6)
                      : nullptr;
    if (!server) {
        error = OpenSslError("cannot make the test certificates");
        return false;
    }
    if (!WritePem(files.keyFile,
                  [&](BIO* bio) {
                      return PEM_write_bio_PrivateKey(bio, serverKey.get(), nullptr, nullptr, 0, nullptr, nullptr);
                  }) ||
        !WritePem(files.certFile, [&](BIO* bio) { return PEM_write_bio_X509(bio, server.get()); }) ||
        !WritePem(files.caFile, [&](BIO* bio) { return PEM_write_bio_X509(bio, ca.get()); })) {
        error = "cannot write the test certificates under " + directory;
        return false;
    }
    return true;
}

TlsContext NewServerContext(const TlsFiles& files, std::string& error) {
    TlsContext context(SSL_CTX_new(TLS_server_method()));
    if (!context || SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION) != 1 ||
        SSL_CTX_use_certificate_chain_file(context.get(), files.certFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(context.get(), files.keyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(context.get()) != 1) {
        error = OpenSslError("cannot serve TLS with " + files.certFile + " and " + files.keyFile);
        return nullptr;
    }
    SSL_CTX_set_mode(context.get(), SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // A peer that closes without close_notify has simply closed.
    SSL_CTX_set_options(context.get(), SSL_OP_IGNORE_UNEXPECTED_EOF | SSL_OP_NO_RENEGOTIATION);
    return context;
}

}  // namespace provider
