#include "weibo/user_resolution.h"

#include <json-c/json.h>

#include "util/text.h"
#include "net/http_text.h"
#include "util/json_text.h"
#include "net/page_fetch.h"
#include "weibo/service_request.h"
#include "weibo/weibo_service.h"

namespace wa {
namespace {

constexpr std::string_view kTitleTail = "的微博";

bool AllOf(std::string_view text, std::string_view allowed) {
    return !text.empty() && text.find_first_not_of(allowed) == std::string_view::npos;
}

constexpr std::string_view kDigits = "0123456789";
// What a custom address name (weibo.com/<name>) is made of.
constexpr std::string_view kCustomNameCharacters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-";

std::string UidOrNothing(std::string_view text) { return IsUid(text) ? std::string(text) : std::string(); }

// The path segments and the query of an address.
struct AddressParts {
    std::vector<std::string> segments;
    std::string query;
};

AddressParts SplitAddress(std::string_view address) {
    AddressParts parts;
    address = TrimBlanks(address);
    if (const std::size_t scheme = address.find("://"); scheme != std::string_view::npos) {
        address.remove_prefix(scheme + 3);
    }
    address = address.substr(0, address.find('#'));
    const std::size_t path = address.find('/');
    if (path == std::string_view::npos) return parts;
    std::string_view rest = address.substr(path);
    if (const std::size_t query = rest.find('?'); query != std::string_view::npos) {
        parts.query = std::string(rest.substr(query + 1));
        rest = rest.substr(0, query);
    }
    for (const std::string& segment : SplitText(rest, "/")) {
        if (!segment.empty()) parts.segments.push_back(segment);
    }
    return parts;
}

// Titles the site gives pages that are not a user's own.
bool IsSiteTitle(std::string_view title) {
    title = TrimBlanks(title);
    return title.empty() || title == "微博" || title == "Sina Visitor System" || title.starts_with("微博-");
}

UserInfo FetchUserInfo(std::string_view key, std::string_view value, JobToken* job, Pacer* pacer) {
    PageFetchOptions options;
    options.job = job;
    if (!TakeTurn(pacer, job)) return {};
    return ReadUserInfo(PageFetch(UserInfoUrl(CurrentService(), key, value), options).body);
}

}  // namespace

std::string UserNameOfTitle(std::string_view title) {
    for (const std::string_view site : {" - 微博", "_微博"}) {
        if (title.ends_with(site)) title.remove_suffix(site.size());
    }
    if (title.ends_with(kTitleTail) && title.size() > kTitleTail.size()) title.remove_suffix(kTitleTail.size());
    return std::string(title);
}

bool IsUid(std::string_view text) { return text.size() <= 20 && AllOf(text, kDigits); }

std::string NormalizeHomeAddress(std::string_view text, std::string_view scheme) {
    std::string address(TrimSpaces(text));
    if (address.find("http://") == std::string::npos && address.find("https://") == std::string::npos) {
        address.insert(0, scheme);
    }
    return address;
}

std::string HomeAddressOf(std::string_view typed) {
    const ServiceAddresses service = CurrentService();
    const std::string_view text = TrimBlanks(typed);
    const std::string home = service.home_page + (service.home_page.ends_with('/') ? "" : "/");
    if (IsUid(text)) return home + "u/" + std::string(text);
    if (AllOf(text, kCustomNameCharacters)) return home + std::string(text);
    return NormalizeHomeAddress(text, HomePageScheme(service));
}

ResolvedUser ReadUserPage(std::string_view page) {
    ResolvedUser user;
    for (const auto& [left, right] : {std::pair{"$CONFIG['oid']='", "'"}, std::pair{"owner_uid: ", ","},
                                      std::pair{"$CONFIG['oid'] = '", "'"}}) {
        user.uid = UidOrNothing(TextBetween(page, left, right));
        if (!user.uid.empty()) break;
    }
    user.title = TextBetween(page, "<title>", "</title>");
    return user;
}

std::string UidFromAddress(std::string_view address) {
    const AddressParts parts = SplitAddress(address);
    const auto& s = parts.segments;
    if (s.size() >= 2 && s[0] == "u") return UidOrNothing(s[1]);
    if (s.size() >= 2 && s[0] == "p" && s[1].starts_with("100505")) return UidOrNothing(s[1].substr(6));
    if (!s.empty() && IsUid(s[0])) return s[0];
    for (const std::string& pair : SplitText(parts.query, "&")) {
        if (pair.starts_with("uid=")) return UidOrNothing(std::string_view(pair).substr(4));
    }
    return {};
}

std::string CustomNameFromAddress(std::string_view address) {
    const AddressParts parts = SplitAddress(address);
    if (parts.segments.empty()) return {};
    const std::string& name = parts.segments[0];
    if (name == "u" || name == "p" || IsUid(name)) return {};
    return AllOf(name, kCustomNameCharacters) ? name : std::string();
}

UserInfo ReadUserInfo(std::string_view text) {
    UserInfo info;
    info.login_wall = IsLoginWall(text);
    const JsonDocument document = ParseJson(text);
    json_object* user = JsonMember(JsonMember(document.get(), "data"), "user");
    if (!user) return info;
    info.uid = UidOrNothing(RemoveChars(MemberJsonText(user, "idstr"), "\""));
    if (info.uid.empty()) info.uid = UidOrNothing(MemberJsonText(user, "id"));
    if (json_object* name = JsonMember(user, "screen_name"); name && json_object_is_type(name, json_type_string)) {
        info.screen_name = json_object_get_string(name);
    }
    return info;
}

UserLookup ResolveUserPage(std::string_view address_text, JobToken* job, Pacer* pacer) {
    const std::string address = HomeAddressOf(address_text);
    PageFetchOptions options;
    options.job = job;
    if (!TakeTurn(pacer, job)) return {};
    const std::string page = Utf8BodyText(PageFetch(address, options).body);
    UserLookup lookup;
    lookup.user = ReadUserPage(page);
    lookup.login_wall = IsLoginWall(page);
    if (!lookup.user.uid.empty()) return lookup;

    UserInfo info;
    lookup.user.uid = UidFromAddress(address);
    if (lookup.user.uid.empty()) {
        const std::string custom = CustomNameFromAddress(address);
        if (custom.empty()) return lookup;
        info = FetchUserInfo("custom", custom, job, pacer);
        lookup.user.uid = info.uid;
    } else if (IsSiteTitle(lookup.user.title)) {
        info = FetchUserInfo("uid", lookup.user.uid, job, pacer);
    }
    lookup.login_wall = lookup.login_wall || info.login_wall;
    if (!lookup.user.uid.empty() && IsSiteTitle(lookup.user.title) && !info.screen_name.empty()) {
        lookup.user.title = info.screen_name + std::string(kTitleTail);
    }
    if (!lookup.user.uid.empty() && TrimBlanks(lookup.user.title).empty()) lookup.user.title = lookup.user.uid;
    return lookup;
}

}  // namespace wa
