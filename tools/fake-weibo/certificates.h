// A throw-away certificate authority and a server certificate it signed, for
// the fake service's https: made at start, never stored but for the
// authority's PEM that clients are told to trust.
#pragma once

#include <string>

namespace wa::fake {

struct TlsIdentity {
    std::string authority_pem;    // the CA certificate clients trust
    std::string certificate_pem;  // the server's, for 127.0.0.1 and localhost
    std::string key_pem;          // the server's private key
};

// Empty members when OpenSSL cannot make them.
TlsIdentity MakeTlsIdentity();

}  // namespace wa::fake
