#include "net/http_text.h"

#include <curl/curl.h>

#include "util/text.h"

namespace wa {
namespace {

constexpr std::string_view kQuoteMark = "@#引号";
constexpr std::string_view kFullWidthSpace = "\u3000";

void AddLineWhenMissing(std::string& headers, std::string_view name, std::string_view line) {
    if (headers.find(name) != std::string::npos) return;
    if (headers.empty()) {
        headers = line;
    } else {
        headers += "\r\n";
        headers += line;
    }
}

std::string RemoveSpaces(std::string_view text) {
    std::string out(text);
    ReplaceAll(out, " ", "");
    ReplaceAll(out, kFullWidthSpace, "");
    return out;
}

}  // namespace

std::string TextBetween(std::string_view text, std::string_view left, std::string_view right,
                        int start, bool ignore_case) {
    std::string left_marker(left);
    std::string right_marker(right);
    ReplaceAll(left_marker, kQuoteMark, "\"");
    ReplaceAll(right_marker, kQuoteMark, "\"");
    const std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start - 1);
    const std::size_t l = FindText(text, left_marker, from, ignore_case);
    if (l == std::string_view::npos) return {};
    const std::size_t value = l + left_marker.size();
    const std::size_t r = FindText(text, right_marker, value, ignore_case);
    if (r == std::string_view::npos) return {};
    return std::string(text.substr(value, r - value));
}

bool IsWebAddress(std::string_view url) {
    const std::string lower = AsciiLower(url.substr(0, 8));
    const std::size_t scheme = lower.starts_with("http://") ? 7 : lower.starts_with("https://") ? 8 : 0;
    if (scheme == 0 || url.find_first_of(" \t\r\n") != std::string_view::npos) return false;
    const std::string_view authority = url.substr(scheme, url.find_first_of("/?#", scheme) - scheme);
    return !authority.empty() && authority.find('@') == std::string_view::npos;
}

bool IsHttpsUrl(std::string_view url) { return AsciiLower(url.substr(0, 5)) == "https"; }

std::string UrlHost(std::string_view url, bool keep_port) {
    std::string lower = AsciiLower(url);
    if (lower.empty() || lower.back() != '/') lower += '/';
    std::string_view scheme = "https://";
    if (!lower.starts_with(scheme)) {
        scheme = "http://";
        if (lower.find(scheme) == std::string::npos) lower.insert(0, scheme);
    }
    const std::size_t begin = lower.find(scheme) + scheme.size();
    std::string host = lower.substr(begin, lower.find('/', begin) - begin);
    if (!keep_port) host = host.substr(0, host.find(':'));
    return host;
}

bool HostInDomain(std::string_view host, std::string_view domain) {
    if (domain.starts_with('.')) domain.remove_prefix(1);
    const std::string h = AsciiLower(host);
    const std::string d = AsciiLower(domain);
    return !d.empty() && (h == d || (h.ends_with(d) && h[h.size() - d.size() - 1] == '.'));
}

std::string_view UrlFileName(std::string_view url) {
    const std::string_view path = url.substr(0, url.find_first_of("?#"));
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string PercentEncoded(std::string_view text) {
    char* escaped = curl_easy_escape(nullptr, text.data(), static_cast<int>(text.size()));
    std::string out = escaped ? escaped : "";
    curl_free(escaped);
    return out;
}

std::string PercentDecoded(std::string_view text) {
    int length = 0;
    char* plain = curl_easy_unescape(nullptr, text.data(), static_cast<int>(text.size()), &length);
    std::string out = plain ? std::string(plain, static_cast<std::size_t>(length)) : std::string();
    curl_free(plain);
    return out;
}

int UrlPort(std::string_view url) {
    const std::string host = UrlHost(url, true);
    const std::size_t colon = host.rfind(':');
    if (colon == std::string::npos) return IsHttpsUrl(url) ? 443 : 80;
    int port = 0;
    for (std::size_t i = colon + 1; i < host.size() && host[i] >= '0' && host[i] <= '9'; ++i) {
        port = port * 10 + (host[i] - '0');
        if (port > 65535) return 0;
    }
    return port;
}

std::string UrlPath(std::string_view url) {
    const std::size_t host = FindText(url, UrlHost(url), 0, true);
    const std::size_t slash = url.find('/', host == std::string_view::npos ? 0 : host);
    if (host == std::string_view::npos || slash == std::string_view::npos) return "/";
    return std::string(url.substr(slash));
}

void NormalizeSetCookieCase(std::string& headers) { ReplaceAll(headers, "Set-Cookie", "Set-Cookie", true); }

std::string ExtractSetCookies(std::string_view headers) {
    std::vector<std::string> pairs;
    for (const std::string& piece : SplitText(headers, "\r\n")) {
        if (piece.find("Set-Cookie") == std::string::npos) continue;
        std::string pair;
        if (piece.find(';') != std::string::npos) {
            pair = TextBetween(piece, "Set-Cookie:", ";");
        } else {
            pair = piece;
            ReplaceAll(pair, "Set-Cookie:", "", true);
        }
        pairs.emplace_back(TrimSpaces(pair));
    }
    return JoinText(pairs, "; ");
}

std::string MergeCookies(std::string& cookies, std::string_view fresh) {
    const auto name_of = [](std::string_view pair) {
        return std::string(TrimSpaces(pair.substr(0, pair.find('='))));
    };
    std::vector<std::string> merged = SplitText(RemoveSpaces(fresh), ";");
    const std::size_t fresh_count = merged.size();
    for (std::string& old_pair : SplitText(RemoveSpaces(cookies), ";")) {
        bool replaced = false;
        for (std::size_t i = 0; i < fresh_count && !replaced; ++i) {
            replaced = name_of(merged[i]) == name_of(old_pair);
        }
        if (!replaced) merged.push_back(std::move(old_pair));
    }
    std::vector<std::string> kept;
    for (std::string& pair : merged) {
        if (!pair.ends_with("=deleted")) kept.push_back(std::move(pair));
    }
    // Joining then splitting at "; " matches pieces exactly as they will read.
    std::vector<std::string> unique;
    for (std::string& piece : SplitText(JoinText(kept, "; "), "; ")) {
        bool seen = false;
        for (const std::string& u : unique) seen = seen || u == piece;
        if (!seen) unique.push_back(std::move(piece));
    }
    cookies = JoinText(unique, "; ");
    return cookies;
}

std::string AgentFromHeaders(std::string_view headers) {
    const std::size_t at = FindText(headers, "User-Agent:", 0, true);
    if (at == std::string_view::npos) return std::string(kDefaultUserAgent);
    std::string_view rest = headers.substr(at + 11);
    rest = rest.substr(0, rest.find("\r\n"));
    return std::string(TrimSpaces(rest));
}

void CompletePageHeaders(std::string& headers, std::string_view url, std::string_view cookies) {
    AddLineWhenMissing(headers, "Accept:", "Accept: */*");
    AddLineWhenMissing(headers, "Referer:", "Referer: " + std::string(url));
    AddLineWhenMissing(headers, "Accept-Language:", "Accept-Language: zh-cn");
    AddLineWhenMissing(headers, "Content-Type:", "Content-Type: application/x-www-form-urlencoded");
    if (!cookies.empty()) headers += "\r\nCookie: " + std::string(cookies);
}

void CompleteObjectHeaders(std::string& headers, std::string_view url) {
    AddLineWhenMissing(headers, "Accept:", "Accept: */*");
    AddLineWhenMissing(headers, "Referer:", "Referer: " + std::string(url));
    AddLineWhenMissing(headers, "Accept-Language:", "Accept-Language: zh-cn");
    AddLineWhenMissing(headers, "User-Agent:", "User-Agent: " + std::string(kDefaultUserAgent));
    AddLineWhenMissing(headers, "Content-Type:", "Content-Type: application/x-www-form-urlencoded");
}

std::vector<std::pair<std::string, std::string>> HeaderFields(std::string_view headers) {
    std::vector<std::pair<std::string, std::string>> fields;
    for (const std::string& line : SplitText(headers, "\r\n")) {
        if (line.empty()) continue;
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) {
            fields.emplace_back();
        } else {
            fields.emplace_back(TrimSpaces(std::string_view(line).substr(0, colon)),
                                TrimSpaces(std::string_view(line).substr(colon + 1)));
        }
    }
    return fields;
}

}  // namespace wa
