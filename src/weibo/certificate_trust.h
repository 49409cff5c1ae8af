// Whether a server's certificate chain is vouched for by the certificate
// authorities of the settings file's "证书" key: lets the embedded browser
// trust what the program's own requests trust, for the service's hosts only.
#pragma once

#include <string>
#include <vector>

namespace wa {

// True when the chain (PEM certificates, the server's first) verifies against
// the authorities of `ca_file` and names `host` (a name or an IP address).
bool ChainVerifiesAgainst(const std::vector<std::string>& chain_pem, const std::string& ca_file,
                          const std::string& host);

}  // namespace wa
