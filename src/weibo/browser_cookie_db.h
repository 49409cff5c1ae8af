// The embedded browser keeps its cookies in a Chromium cookie database in its
// profile folder; a login restored from there at start-up raises no event, so
// the program reads the database itself to fill the shared jar.
#pragma once

#include <string>
#include <vector>

#include "weibo/cookie_jar.h"

namespace wa {

// The unexpired cookies of the database, read without writing or locking it;
// nothing when there is no such database or it cannot be read.
std::vector<Cookie> ReadBrowserCookies(const std::string& database_path);

}  // namespace wa
