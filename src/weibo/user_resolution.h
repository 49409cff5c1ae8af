// Finds whose albums are wanted: fetches the user's Weibo home page and reads
// the numeric user id and the page title from it. Today's script-built pages
// hold no id, so the address itself and the site's user-info answer are asked
// after the page's own markers.
#pragma once

#include <string>
#include <string_view>

namespace wa {

class JobToken;
class Pacer;

// The user the next album listing and download are about. Tasks work on a
// copy taken when they start.
struct ResolvedUser {
    std::string uid;    // decimal digits only; empty when none was found
    std::string title;  // the home page's title, verbatim, or "<nick>的微博"
};

// The user's name as a title gives it: "<nick>的微博" less its tail, and
// the site's " - 微博" or "_微博" after it too; else the title as it is.
std::string UserNameOfTitle(std::string_view title);

// True for a uid the program accepts: 1 to 20 decimal digits.
bool IsUid(std::string_view text);

// Blanks trimmed; `scheme` put in front unless the text holds "http://" or
// "https://".
std::string NormalizeHomeAddress(std::string_view text, std::string_view scheme = "http://");

// The address a typed text stands for: a bare uid (digits only) is the home
// page <微博首页>/u/<uid>, a bare custom name (letters, digits, _ and -) is
// <微博首页>/<name>; anything else is normalised with the home page's scheme.
std::string HomeAddressOf(std::string_view typed);

// The uid ("$CONFIG['oid']='…'", else "owner_uid: …,", else the older
// "$CONFIG['oid'] = '…'") and the title of a home page's source. A marker
// whose value is not digits gives no uid.
ResolvedUser ReadUserPage(std::string_view page);

// The uid an address names: /u/<uid>, /<uid>, /p/100505<uid> or a "uid=" query.
std::string UidFromAddress(std::string_view address);
// The custom name of an address such as weibo.com/<name>; empty otherwise.
std::string CustomNameFromAddress(std::string_view address);

// The members of a user-info answer the program uses.
struct UserInfo {
    bool login_wall = false;  // {"ok":-100,...}
    std::string uid;
    std::string screen_name;
};
UserInfo ReadUserInfo(std::string_view text);

struct UserLookup {
    ResolvedUser user;
    bool login_wall = false;  // the site asked for a login on the way
};

// Fetches the (normalised) address through the shared cookie jar and reads
// it: the page's markers, then the address, then the user-info answer. An
// unreachable page gives empty values; a uid found without a title is its
// own title.
// Each request takes its turn from `pacer`, when there is one.
UserLookup ResolveUserPage(std::string_view address, JobToken* job = nullptr, Pacer* pacer = nullptr);

}  // namespace wa
