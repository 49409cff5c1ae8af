// Text helpers of the two HTTP routines and their callers: markers, address
// splitting, cookie texts and the request header block.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wa {

inline constexpr std::string_view kDefaultUserAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// The text between `left` and `right`, searching from the 1-based `start`.
// "@#引号" in a marker stands for a double quote. Empty when a marker is missing.
std::string TextBetween(std::string_view text, std::string_view left, std::string_view right,
                        int start = 1, bool ignore_case = false);

// An http or https address without blanks and without user information
// ("user:password@"): the only kind the program asks for.
bool IsWebAddress(std::string_view url);

// True when the address starts with "https" (any case).
bool IsHttpsUrl(std::string_view url);
// Lower-case host of the address; with `keep_port` the ":port" stays.
std::string UrlHost(std::string_view url, bool keep_port = false);
// True when `host` is `domain` (a leading "." aside) or one of its
// subdomains, without regard to case: the hosts a cookie of that domain goes to.
bool HostInDomain(std::string_view host, std::string_view domain);
// The last path segment of an address, without query or fragment: "a.jpg"
// of "https://x/large/a.jpg?x=1"; empty when the path ends in "/".
std::string_view UrlFileName(std::string_view url);
// Percent-encodes everything but the unreserved characters, and back.
std::string PercentEncoded(std::string_view text);
std::string PercentDecoded(std::string_view text);
// The explicit port, else 443 for https and 80 otherwise.
int UrlPort(std::string_view url);
// Path and query from the first "/" after the host; "/" when there is none.
std::string UrlPath(std::string_view url);

// Rewrites every "Set-Cookie" header name, in any case, as "Set-Cookie".
void NormalizeSetCookieCase(std::string& headers);

// The name=value pairs of the Set-Cookie lines of a raw header block, in
// order, joined by "; ", attributes dropped.
std::string ExtractSetCookies(std::string_view headers);

// Merges `fresh` cookies into `cookies`: the newer value of a name wins, pairs
// whose value is "deleted" disappear, blanks are removed and exact duplicates
// dropped. Stores the result in `cookies` and returns it.
std::string MergeCookies(std::string& cookies, std::string_view fresh);

// The agent of a page request: the caller's "User-Agent:" line, else the
// default agent.
std::string AgentFromHeaders(std::string_view headers);

// Completes a page request's header block in place: Accept, Referer (the
// address), Accept-Language, Content-Type, each only when missing, then a
// Cookie line when `cookies` is not empty.
void CompletePageHeaders(std::string& headers, std::string_view url, std::string_view cookies);

// Completes a request-object header block in place: Accept, Referer,
// Accept-Language, User-Agent, Content-Type, each only when missing.
void CompleteObjectHeaders(std::string& headers, std::string_view url);

// The header lines of a block as trimmed (name, value) pairs in order; a line
// without ":" gives an empty name and value.
std::vector<std::pair<std::string, std::string>> HeaderFields(std::string_view headers);

}  // namespace wa
