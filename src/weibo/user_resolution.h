// Finds whose albums are wanted: fetches the user's Weibo home page and reads
// the numeric user id and the page title from it.
#pragma once

#include <string>
#include <string_view>

namespace wa {

class JobToken;

// The user the next album listing and download are about. Tasks work on a
// copy taken when they start.
struct ResolvedUser {
    std::string uid;    // decimal digits; empty when the page held none
    std::string title;  // the home page's title, verbatim
};

// Blanks trimmed; "http://" put in front unless the text holds "http://" or
// "https://".
std::string NormalizeHomeAddress(std::string_view text);

// The uid ("$CONFIG['oid']='…'", else "owner_uid: …,") and the title of a
// home page's source.
ResolvedUser ReadUserPage(std::string_view page);

// Fetches the (normalised) address through the shared cookie jar and reads it.
// An unreachable page gives empty values.
ResolvedUser ResolveUserPage(std::string_view address, JobToken* job = nullptr);

}  // namespace wa
