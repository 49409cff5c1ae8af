#include "weibo/certificate_trust.h"

#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <memory>

namespace wa {
namespace {

template <auto Free>
struct Deleter {
    template <typename T>
    void operator()(T* p) const { Free(p); }
};

void FreeCertificates(STACK_OF(X509) * certificates) { sk_X509_pop_free(certificates, X509_free); }

X509* ReadPem(const std::string& pem) {
    std::unique_ptr<BIO, Deleter<BIO_free>> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    return bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr;
}

}  // namespace

bool ChainVerifiesAgainst(const std::vector<std::string>& chain_pem, const std::string& ca_file,
                          const std::string& host) {
    if (chain_pem.empty() || ca_file.empty() || host.empty()) return false;
    std::unique_ptr<X509_STORE, Deleter<X509_STORE_free>> store(X509_STORE_new());
    if (!store || X509_STORE_load_file(store.get(), ca_file.c_str()) != 1) return false;
    std::unique_ptr<X509, Deleter<X509_free>> leaf(ReadPem(chain_pem.front()));
    std::unique_ptr<STACK_OF(X509), Deleter<FreeCertificates>> rest(sk_X509_new_null());
    if (!leaf || !rest) return false;
    for (std::size_t i = 1; i < chain_pem.size(); ++i) {
        if (X509* certificate = ReadPem(chain_pem[i])) sk_X509_push(rest.get(), certificate);
    }
    std::unique_ptr<X509_STORE_CTX, Deleter<X509_STORE_CTX_free>> context(X509_STORE_CTX_new());
    if (!context || X509_STORE_CTX_init(context.get(), store.get(), leaf.get(), rest.get()) != 1) return false;
    X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(context.get());
    const bool host_set = X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) == 1 ||
                          X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size()) == 1;
    return host_set && X509_verify_cert(context.get()) == 1;
}

}  // namespace wa
