// Certificates, the TLS modes, --no-https and the process's start and stop.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include "server_process.h"

using namespace vorn::test;

namespace {

X509* LoadCert(const std::string& path) {
    BIO* bio = BIO_new_file(path.c_str(), "r");
    if (!bio)
        return nullptr;
    X509* cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    return cert;
}

// Chain check of the server certificate against ca.pem alone.
bool ChainsToCa(const std::string& dir) {
    X509* ca = LoadCert(dir + "/ca.pem");
    X509* leaf = LoadCert(dir + "/server.pem");
    X509_STORE* store = X509_STORE_new();
    X509_STORE_CTX* ctx = X509_STORE_CTX_new();
    bool ok = ca && leaf && X509_STORE_add_cert(store, ca) == 1 &&
              X509_STORE_CTX_init(ctx, store, leaf, nullptr) == 1 && X509_verify_cert(ctx) == 1;
    X509_STORE_CTX_free(ctx);
    X509_STORE_free(store);
    X509_free(ca);
    X509_free(leaf);
    return ok;
}

bool Names(const std::string& dir, const std::string& name) {
    X509* leaf = LoadCert(dir + "/server.pem");
    bool ok =
        leaf && (name == "127.0.0.1" ? X509_check_ip_asc(leaf, name.c_str(), 0) == 1
                                     : X509_check_host(leaf, name.c_str(), 0, 0, nullptr) == 1);
    X509_free(leaf);
    return ok;
}

httplib::Error GetError(httplib::SSLClient& cli, const char* path) {
    auto r = cli.Get(path);
    return r ? httplib::Error::Success : r.error();
}

}  // namespace

TEST(Tls, NormalCertificateVerifiesAgainstTheCa) {
    ServicesServer server("tls_normal");
    server.hosts = "api.velto.test dl.velto.test bar.velto.test";
    ASSERT_TRUE(server.Start());
    EXPECT_TRUE(ChainsToCa(server.dir()));
    for (const char* name : {"api.velto.test", "dl.velto.test", "bar.velto.test", "127.0.0.1"})
        EXPECT_TRUE(Names(server.dir(), name)) << name;
    EXPECT_FALSE(Names(server.dir(), "other.invalid"));
    EXPECT_EQ(GetError(*server.Https(), "/terms/pc/pop_agreement.html"), httplib::Error::Success);
    EXPECT_EQ(GetError(*server.Https(server.cafePort), "/CXBasicInfo"), httplib::Error::Success);
}

TEST(Tls, OtherHostAndSelfSignedFailVerification) {
    for (const char* mode : {"other-host", "self-signed"}) {
        ServicesServer server(std::string("tls_") + mode);
        ASSERT_TRUE(server.Start({"--tls", mode}));
        EXPECT_EQ(GetError(*server.Https(), "/"), httplib::Error::SSLServerVerification) << mode;
        EXPECT_EQ(GetError(*server.Https(server.cafePort), "/CXBasicInfo"),
                  httplib::Error::SSLServerVerification)
            << mode;
        // Without verification the same server answers, and plain HTTP is unaffected.
        EXPECT_EQ(GetError(*server.Https(0, false), "/terms/pc/pop_agreement.html"),
                  httplib::Error::Success);
        EXPECT_EQ(server.Http()->Get("/terms/pc/pop_agreement.html")->status, 200);
        EXPECT_EQ(ChainsToCa(server.dir()), std::string(mode) == "other-host") << mode;
        EXPECT_EQ(Names(server.dir(), "api.velto.test"), std::string(mode) == "self-signed")
            << mode;
    }
}

TEST(Tls, NoHttpsRefusesTheHttpsPortOnly) {
    ServicesServer server("tls_none");
    ASSERT_TRUE(server.Start({"--no-https"}));
    EXPECT_EQ(GetError(*server.Https(), "/"), httplib::Error::Connection);
    EXPECT_EQ(server.Http()->Get("/terms/pc/pop_agreement.html")->status, 200);
    EXPECT_EQ(GetError(*server.Https(server.cafePort), "/CXBasicInfo"), httplib::Error::Success);
}

TEST(Tls, StartAndStopOfTheProcess) {
    ServicesServer server("lifecycle");
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(std::stoi(ReadFile(server.dir() + "/ready")), server.pid());
    const std::string ca = ReadFile(server.dir() + "/ca.pem");
    ASSERT_NE(ca.find("BEGIN CERTIFICATE"), std::string::npos);
    EXPECT_EQ(server.Stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(server.dir() + "/ready"));

    // A second start keeps the CA that is there.
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(ReadFile(server.dir() + "/ca.pem"), ca);
    EXPECT_TRUE(ChainsToCa(server.dir()));
    EXPECT_EQ(server.Stop(), 0);

    // A port that is taken is an error, not a shared port.
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ASSERT_EQ(listen(fd, 1), 0);
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    EXPECT_FALSE(server.Start({"--https-port", std::to_string(ntohs(addr.sin_port))}));
    close(fd);
    EXPECT_NE(ReadFile(server.dir() + "/server.log").find("cannot listen"), std::string::npos);

    // A CA key that does not belong to ca.pem is refused.
    ServicesServer other("lifecycle_other");
    ASSERT_TRUE(other.Start());
    EXPECT_EQ(other.Stop(), 0);
    WriteFile(server.dir() + "/ca.key", ReadFile(other.dir() + "/ca.key"));
    EXPECT_FALSE(server.Start());
}
