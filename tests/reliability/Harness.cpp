#include "Harness.hpp"

#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace VeltoSDK::testing {

// The command-line tool cannot date a certificate in the past, hence the library.
TestCertificate writeCertificate(const std::string& directory, const std::string& name,
                                 const std::string& subjectAltName, int fromDays, int untilDays) {
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_EC_gen("P-256"), EVP_PKEY_free);
    std::unique_ptr<X509, decltype(&X509_free)> cert(X509_new(), X509_free);
    if (!key || !cert) throw std::runtime_error("cannot make a key");
    X509* x = cert.get();
    X509_set_version(x, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(x), static_cast<long>(std::rand()) + 1);
    X509_gmtime_adj(X509_getm_notBefore(x), fromDays * 86400L);
    X509_gmtime_adj(X509_getm_notAfter(x), untilDays * 86400L);
    X509_set_pubkey(x, key.get());
    X509_NAME* subject = X509_get_subject_name(x);
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(name.c_str()), -1, -1, 0);
    X509_set_issuer_name(x, subject);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, x, x, nullptr, nullptr, 0);
    for (auto [nid, value] : {std::pair{NID_basic_constraints, std::string("critical,CA:TRUE")},
                              std::pair{NID_subject_alt_name, subjectAltName}}) {
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
        if (!extension) throw std::runtime_error("bad extension " + value);
        X509_add_ext(x, extension, -1);
        X509_EXTENSION_free(extension);
    }
    if (X509_sign(x, key.get(), EVP_sha256()) <= 0) throw std::runtime_error("cannot sign");

    const std::string base = directory + "/" + name;
    FILE* keyFile = std::fopen((base + ".key").c_str(), "w");
    FILE* certFile = std::fopen((base + ".crt").c_str(), "w");
    bool written =
        keyFile && certFile &&
        PEM_write_PrivateKey(keyFile, key.get(), nullptr, nullptr, 0, nullptr, nullptr) &&
        PEM_write_X509(certFile, x);
    if (keyFile) std::fclose(keyFile);
    if (certFile) std::fclose(certFile);
    if (!written) throw std::runtime_error("cannot write " + base);
    return {base + ".crt", base + ".key"};
}

}  // namespace VeltoSDK::testing
