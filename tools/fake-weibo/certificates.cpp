#include "certificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace wa::fake {
namespace {

template <auto Free>
struct Deleter {
    template <typename T>
    void operator()(T* p) const { Free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Deleter<X509_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO_free>>;

bool AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (!extension) return false;
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

Certificate MakeCertificate(EVP_PKEY* key, const char* common_name, long serial, X509* issuer, EVP_PKEY* issuer_key) {
    Certificate certificate(X509_new());
    if (!certificate) return nullptr;
    X509* c = certificate.get();
    X509_set_version(c, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(c), serial);
    X509_gmtime_adj(X509_getm_notBefore(c), -3600);
    X509_gmtime_adj(X509_getm_notAfter(c), 30L * 24 * 3600);
    X509_set_pubkey(c, key);
    X509_NAME* name = X509_get_subject_name(c);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("fake-weibo"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(common_name), -1, -1, 0);
    X509_set_issuer_name(c, issuer ? X509_get_subject_name(issuer) : name);
    X509* signer = issuer ? issuer : c;
    const bool extended =
        issuer ? AddExtension(c, signer, NID_basic_constraints, "critical,CA:FALSE") &&
                     AddExtension(c, signer, NID_key_usage, "critical,digitalSignature,keyEncipherment") &&
                     AddExtension(c, signer, NID_ext_key_usage, "serverAuth") &&
                     AddExtension(c, signer, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost") &&
                     AddExtension(c, signer, NID_authority_key_identifier, "keyid:always")
               : AddExtension(c, signer, NID_basic_constraints, "critical,CA:TRUE") &&
                     AddExtension(c, signer, NID_key_usage, "critical,keyCertSign,cRLSign") &&
                     AddExtension(c, signer, NID_subject_key_identifier, "hash");
    if (!extended) return nullptr;
    if (issuer && !AddExtension(c, signer, NID_subject_key_identifier, "hash")) return nullptr;
    if (X509_sign(c, issuer_key ? issuer_key : key, EVP_sha256()) == 0) return nullptr;
    return certificate;
}

std::string CertificatePem(X509* certificate) {
    Bio bio(BIO_new(BIO_s_mem()));
    PEM_write_bio_X509(bio.get(), certificate);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

std::string KeyPem(EVP_PKEY* key) {
    Bio bio(BIO_new(BIO_s_mem()));
    PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

}  // namespace

TlsIdentity MakeTlsIdentity() {
    const Key authority_key(EVP_EC_gen("P-256"));
    const Key server_key(EVP_EC_gen("P-256"));
    if (!authority_key || !server_key) return {};
    const Certificate authority = MakeCertificate(authority_key.get(), "fake-weibo test authority", 1, nullptr, nullptr);
    if (!authority) return {};
    const Certificate server = MakeCertificate(server_key.get(), "127.0.0.1", 2, authority.get(), authority_key.get());
    if (!server) return {};
    return {CertificatePem(authority.get()), CertificatePem(server.get()), KeyPem(server_key.get())};
}

}  // namespace wa::fake
