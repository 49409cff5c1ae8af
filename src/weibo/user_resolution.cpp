#include "weibo/user_resolution.h"

#include "util/text.h"
#include "weibo/http_text.h"
#include "weibo/page_fetch.h"

namespace wa {

std::string NormalizeHomeAddress(std::string_view text) {
    std::string address(TrimSpaces(text));
    if (address.find("http://") == std::string::npos && address.find("https://") == std::string::npos) {
        address.insert(0, "http://");
    }
    return address;
}

ResolvedUser ReadUserPage(std::string_view page) {
    ResolvedUser user;
    user.uid = TextBetween(page, "$CONFIG['oid']='", "'");
    if (user.uid.empty()) user.uid = TextBetween(page, "owner_uid: ", ",");
    user.title = TextBetween(page, "<title>", "</title>");
    return user;
}

ResolvedUser ResolveUserPage(std::string_view address, JobToken* job) {
    PageFetchOptions options;
    options.job = job;
    return ReadUserPage(Utf8BodyText(PageFetch(NormalizeHomeAddress(address), options).body));
}

}  // namespace wa
