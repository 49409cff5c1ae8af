#include "net/certificate_trust.h"

#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <mutex>
#include <memory>

#include "util/text.h"
#include "net/http_text.h"

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

// The chain of `leaf` and `untrusted` against the authorities of `ca_file`,
// as a TLS server's certificate, for `host` unless it is empty.
bool Verifies(X509* leaf, STACK_OF(X509) * untrusted, const std::string& ca_file, const std::string& host) {
    std::unique_ptr<X509_STORE, Deleter<X509_STORE_free>> store(X509_STORE_new());
    if (!store || X509_STORE_load_file(store.get(), ca_file.c_str()) != 1) return false;
    std::unique_ptr<X509_STORE_CTX, Deleter<X509_STORE_CTX_free>> context(X509_STORE_CTX_new());
    if (!context || X509_STORE_CTX_init(context.get(), store.get(), leaf, untrusted) != 1) return false;
    X509_STORE_CTX_set_purpose(context.get(), X509_PURPOSE_SSL_SERVER);
    if (!host.empty()) {
        X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(context.get());
        const bool host_set = X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) == 1 ||
                              X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size()) == 1;
        if (!host_set) return false;
    }
    return X509_verify_cert(context.get()) == 1;
}

// A connection to a service host: the system's authorities, else the 证书
// ones; the host name is checked by the connection itself afterwards.
int VerifyChain(X509_STORE_CTX* context, void* argument) {
    X509_STORE_CTX_set_purpose(context, X509_PURPOSE_SSL_SERVER);
    if (X509_verify_cert(context) == 1) return 1;  // the system's authorities vouch for it
    const auto* trust = static_cast<const ServiceTrust*>(argument);
    if (!Verifies(X509_STORE_CTX_get0_cert(context), X509_STORE_CTX_get0_untrusted(context), trust->ca_file, {})) return 0;
    X509_STORE_CTX_set_error(context, X509_V_OK);
    return 1;
}

}  // namespace

namespace {
std::mutex g_trust_mutex;
ServiceTrust g_trust;
}  // namespace

void SetServiceTrust(ServiceTrust trust) {
    std::lock_guard lock(g_trust_mutex);
    g_trust = std::move(trust);
}

ServiceTrust CurrentServiceTrust() {
    std::lock_guard lock(g_trust_mutex);
    return g_trust;
}

bool ServiceTrust::Covers(const std::string& host) const {
    return !host.empty() && std::find(hosts.begin(), hosts.end(), AsciiLower(host)) != hosts.end();
}

bool ChainVerifiesAgainst(const std::vector<std::string>& chain_pem, const std::string& ca_file,
                          const std::string& host) {
    if (chain_pem.empty() || ca_file.empty() || host.empty()) return false;
    std::unique_ptr<X509, Deleter<X509_free>> leaf(ReadPem(chain_pem.front()));
    std::unique_ptr<STACK_OF(X509), Deleter<FreeCertificates>> rest(sk_X509_new_null());
    if (!leaf || !rest) return false;
    for (std::size_t i = 1; i < chain_pem.size(); ++i) {
        if (X509* certificate = ReadPem(chain_pem[i])) sk_X509_push(rest.get(), certificate);
    }
    return Verifies(leaf.get(), rest.get(), ca_file, host);
}

void TrustServiceAuthorities(ssl_ctx_st* context, const ServiceTrust* trust, const std::string& host) {
    // The store may be shared with other connections: it is left as it is.
    if (trust && !trust->ca_file.empty() && trust->Covers(host)) {
        SSL_CTX_set_cert_verify_callback(context, VerifyChain, const_cast<ServiceTrust*>(trust));
    }
}

}  // namespace wa
