// The test CA and the server certificates issued by it.
#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>
#include <vector>

namespace vorn::svc {

struct X509Deleter {
    void operator()(X509* p) const { X509_free(p); }
};
struct PkeyDeleter {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
using X509Ptr = std::unique_ptr<X509, X509Deleter>;
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyDeleter>;

struct CertAndKey {
    X509Ptr cert;
    PkeyPtr key;
};

enum class TlsMode {
    Normal,      // issued by the CA for the given names
    OtherHost,   // issued by the CA, but only for "other.invalid"
    SelfSigned,  // the given names, signed by its own key
};

bool ParseTlsMode(const std::string& text, TlsMode* mode);

// Loads dir/ca.pem and dir/ca.key; when either is missing, makes a new CA and
// writes both (the key readable by the owner only).
bool LoadOrCreateCa(const std::string& dir, CertAndKey* ca, std::string* error);

// A fresh key and certificate for the server. names become subjectAltName DNS
// entries (IP entries for addresses); 127.0.0.1 is always added, except in
// OtherHost mode.
bool IssueServerCertificate(const CertAndKey& ca, const std::vector<std::string>& names,
                            TlsMode mode, CertAndKey* out, std::string* error);

std::string CertificateToPem(X509* cert);

}  // namespace vorn::svc
