// Cookie files in the Netscape format, as exported by any browser or tool.
#include <cstddef>
#include <cstdint>

#include "scratch_file.h"
#include "net/cookie_jar.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const wa::fuzz::ScratchFile scratch("cookies.txt");
    if (!scratch.Hold(data, size)) return 0;
    wa::CookieJar jar;
    jar.LoadNetscapeFile(scratch.path());
    for (const wa::Cookie& cookie : jar.AllCookies()) jar.RemoveCookie(cookie.domain, cookie.path, cookie.name);
    return 0;
}
