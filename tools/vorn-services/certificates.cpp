#include "certificates.h"

#include <arpa/inet.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

#include <cstdio>

namespace vorn::svc {
namespace {

struct BioDeleter {
    void operator()(BIO* p) const { BIO_free(p); }
};
using BioPtr = std::unique_ptr<BIO, BioDeleter>;

std::string OpenSslError(const std::string& what) {
    unsigned long code = ERR_get_error();
    char text[256] = "";
    if (code)
        ERR_error_string_n(code, text, sizeof(text));
    ERR_clear_error();
    return what + (code ? std::string(": ") + text : std::string());
}

bool IsIpAddress(const std::string& name) {
    unsigned char buf[16];
    return inet_pton(AF_INET, name.c_str(), buf) == 1 ||
           inet_pton(AF_INET6, name.c_str(), buf) == 1;
}

// Host names go into an OpenSSL configuration string, so only plain name
// characters are allowed.
bool IsPlainName(const std::string& name) {
    if (name.empty() || name.size() > 253)
        return false;
    for (char c : name) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '.' || c == '-' || c == '*' || c == ':' || c == '_';
        if (!ok)
            return false;
    }
    return true;
}

bool AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (!ext)
        return false;
    bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

bool SetRandomSerial(X509* cert) {
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof(bytes)) != 1)
        return false;
    bytes[0] &= 0x7F;  // keep it positive
    BIGNUM* bn = BN_bin2bn(bytes, sizeof(bytes), nullptr);
    if (!bn)
        return false;
    bool ok = BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert)) != nullptr;
    BN_free(bn);
    return ok;
}

// A certificate skeleton: version 3, serial, validity, subject, public key.
X509Ptr NewCertificate(EVP_PKEY* key, const std::string& commonName, long days) {
    X509Ptr cert(X509_new());
    if (!cert)
        return nullptr;
    X509_NAME* name = X509_get_subject_name(cert.get());
    bool ok = X509_set_version(cert.get(), 2) == 1 && SetRandomSerial(cert.get()) &&
              X509_gmtime_adj(X509_getm_notBefore(cert.get()), -86400L) != nullptr &&
              X509_gmtime_adj(X509_getm_notAfter(cert.get()), days * 86400L) != nullptr &&
              X509_NAME_add_entry_by_txt(
                  name, "O", MBSTRING_ASC,
                  reinterpret_cast<const unsigned char*>("Vorn test services"), -1, -1, 0) == 1 &&
              X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                         reinterpret_cast<const unsigned char*>(commonName.c_str()),
                                         -1, -1, 0) == 1 &&
              X509_set_pubkey(cert.get(), key) == 1;
    return ok ? std::move(cert) : nullptr;
}

bool WriteFile(const std::string& path, const std::string& data, mode_t mode) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (std::fclose(f) == 0) && ok;
    chmod(path.c_str(), mode);
    return ok;
}

bool MakeCa(CertAndKey* ca, std::string* error) {
    PkeyPtr key(EVP_RSA_gen(2048));
    if (!key) {
        *error = OpenSslError("CA key generation failed");
        return false;
    }
    X509Ptr cert = NewCertificate(key.get(), "Vorn Test CA", 3650);
    if (!cert) {
        *error = OpenSslError("CA certificate set-up failed");
        return false;
    }
    X509_set_issuer_name(cert.get(), X509_get_subject_name(cert.get()));
    if (!AddExtension(cert.get(), cert.get(), NID_basic_constraints, "critical,CA:TRUE") ||
        !AddExtension(cert.get(), cert.get(), NID_key_usage, "critical,keyCertSign,cRLSign") ||
        !AddExtension(cert.get(), cert.get(), NID_subject_key_identifier, "hash") ||
        X509_sign(cert.get(), key.get(), EVP_sha256()) == 0) {
        *error = OpenSslError("CA certificate signing failed");
        return false;
    }
    ca->cert = std::move(cert);
    ca->key = std::move(key);
    return true;
}

std::string KeyToPem(EVP_PKEY* key) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio ||
        PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1)
        return {};
    char* data = nullptr;
    long len = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<size_t>(len));
}

}  // namespace

bool ParseTlsMode(const std::string& text, TlsMode* mode) {
    if (text == "normal")
        *mode = TlsMode::Normal;
    else if (text == "other-host")
        *mode = TlsMode::OtherHost;
    else if (text == "self-signed")
        *mode = TlsMode::SelfSigned;
    else
        return false;
    return true;
}

std::string CertificateToPem(X509* cert) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_X509(bio.get(), cert) != 1)
        return {};
    char* data = nullptr;
    long len = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<size_t>(len));
}

bool LoadOrCreateCa(const std::string& dir, CertAndKey* ca, std::string* error) {
    const std::string certPath = dir + "/ca.pem";
    const std::string keyPath = dir + "/ca.key";
    struct stat st;
    if (stat(certPath.c_str(), &st) == 0 && stat(keyPath.c_str(), &st) == 0) {
        BioPtr certBio(BIO_new_file(certPath.c_str(), "r"));
        BioPtr keyBio(BIO_new_file(keyPath.c_str(), "r"));
        if (certBio)
            ca->cert.reset(PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr));
        if (keyBio)
            ca->key.reset(PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr));
        if (!ca->cert || !ca->key) {
            *error = OpenSslError("cannot read " + certPath + " / " + keyPath);
            return false;
        }
        if (X509_check_private_key(ca->cert.get(), ca->key.get()) != 1) {
            *error = OpenSslError(keyPath + " does not belong to " + certPath);
            return false;
        }
        return true;
    }
    if (!MakeCa(ca, error))
        return false;
    // The key first: a ca.pem without its key would make the next start fail.
    if (!WriteFile(keyPath, KeyToPem(ca->key.get()), 0600) ||
        !WriteFile(certPath, CertificateToPem(ca->cert.get()), 0644)) {
        *error = "cannot write " + certPath + " / " + keyPath;
        return false;
    }
    return true;
}

bool IssueServerCertificate(const CertAndKey& ca, const std::vector<std::string>& names,
                            TlsMode mode, CertAndKey* out, std::string* error) {
    std::vector<std::string> sanNames =
        mode == TlsMode::OtherHost ? std::vector<std::string>{"other.invalid"} : names;
    std::string san;
    for (const std::string& name : sanNames) {
        if (!IsPlainName(name)) {
            *error = "unusable host name '" + name + "'";
            return false;
        }
        if (!san.empty())
            san += ",";
        san += (IsIpAddress(name) ? "IP:" : "DNS:") + name;
    }
    if (mode != TlsMode::OtherHost)
        san += std::string(san.empty() ? "" : ",") + "IP:127.0.0.1";

    PkeyPtr key(EVP_RSA_gen(2048));
    if (!key) {
        *error = OpenSslError("server key generation failed");
        return false;
    }
    const std::string commonName = sanNames.empty() ? std::string("127.0.0.1") : sanNames.front();
    X509Ptr cert = NewCertificate(key.get(), commonName, 825);
    if (!cert) {
        *error = OpenSslError("server certificate set-up failed");
        return false;
    }
    bool selfSigned = mode == TlsMode::SelfSigned;
    X509* issuer = selfSigned ? cert.get() : ca.cert.get();
    EVP_PKEY* signer = selfSigned ? key.get() : ca.key.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(issuer));
    bool ok = AddExtension(cert.get(), issuer, NID_basic_constraints, "critical,CA:FALSE") &&
              AddExtension(cert.get(), issuer, NID_key_usage,
                           "critical,digitalSignature,keyEncipherment") &&
              AddExtension(cert.get(), issuer, NID_ext_key_usage, "serverAuth") &&
              AddExtension(cert.get(), issuer, NID_subject_key_identifier, "hash") &&
              (selfSigned ||
               AddExtension(cert.get(), issuer, NID_authority_key_identifier, "keyid:always")) &&
              AddExtension(cert.get(), issuer, NID_subject_alt_name, san) &&
              X509_sign(cert.get(), signer, EVP_sha256()) != 0;
    if (!ok) {
        *error = OpenSslError("server certificate signing failed");
        return false;
    }
    out->cert = std::move(cert);
    out->key = std::move(key);
    return true;
}

}  // namespace vorn::svc
