// Fetches a web page or a web API answer for the program: the user's home
// page, the album list, the photo-list pages and the version page. Requests
// carry the cookies of the shared jar, so a login made in the embedded browser
// applies to them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "net/net_failure.h"

namespace wa {

class JobToken;

struct PageFetchOptions {
    std::optional<int> method;                 // 0 GET, 1 POST, 2 HEAD; others GET
    std::optional<std::string> post_text;      // body when no post bytes are given
    // Supplying a cookie text, even an empty one, bypasses the shared jar: only
    // these cookies are sent and nothing is stored; the merged text comes back.
    std::optional<std::string> cookies;
    std::optional<std::string> extra_headers;  // CR LF separated, no trailing CR LF
    std::optional<bool> no_redirect;
    std::optional<std::string> post_bytes;
    std::optional<std::string> proxy;          // "host:port"; empty is a direct connection; none: the setting
    std::optional<std::size_t> max_body;       // a larger answer is abandoned; 16 MiB when none is given
    JobToken* job = nullptr;                   // pause and stop reach the transfer through it
};

struct PageFetchResult {
    std::string body;              // empty when the answer did not arrive whole
    long status = 0;               // 0 when no answer arrived
    std::string error;             // why the request failed, for logs
    NetFailure failure = NetFailure::kNone;  // why no answer arrived, when none did
    std::string failure_detail;
    std::string headers;           // raw status and header lines of the final response
    std::string redirect_url;      // where a redirect leads, when it was not followed
    std::string returned_cookies;  // cookies this response set, as "a=1; b=2"
    std::string cookies;           // the merged cookie text, when one was supplied
    std::string sent_headers;      // the complete request header block
    std::string post_bytes;        // the body that was sent

    std::string proxy;             // a proxy that could not be reached

    FailedAnswer Answer() const { return {status, failure, failure_detail, proxy}; }
};

PageFetchResult PageFetch(std::string_view url, const PageFetchOptions& options = {});

}  // namespace wa
