// Certificate authorities trusted besides the system's, and the hosts they
// are trusted for (the service's: the settings file's "证书" key names them),
// in the program's own requests as in the embedded browser.
#pragma once

#include <string>
#include <vector>

struct ssl_ctx_st;

namespace wa {

struct ServiceTrust {
    std::string ca_file;             // PEM; empty: none besides the system's
    std::vector<std::string> hosts;  // lower-case names or IP addresses

    bool Covers(const std::string& host) const;
};

// The trust every request of this process uses from now on; none by default.
void SetServiceTrust(ServiceTrust trust);
ServiceTrust CurrentServiceTrust();

// True when the chain (PEM certificates, the server's first) verifies against
// the authorities of `ca_file` as a TLS server's and names `host` (a name or
// an IP address).
bool ChainVerifiesAgainst(const std::vector<std::string>& chain_pem, const std::string& ca_file,
                          const std::string& host);

// For a TLS connection to `host` made with `context`: when `host` is one of
// the trust's, a chain the system's authorities refuse is still accepted if
// the trust's authorities vouch for it as a server's. `trust` must outlive
// the connection.
void TrustServiceAuthorities(ssl_ctx_st* context, const ServiceTrust* trust, const std::string& host);

}  // namespace wa
