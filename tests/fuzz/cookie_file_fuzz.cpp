// Cookie files in the Netscape format, as exported by any browser or tool.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <stdlib.h>

#include "weibo/cookie_jar.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string file = [] {
        char folder[] = "/tmp/wa-cookie-fuzz-XXXXXX";
        return std::string(::mkdtemp(folder)) + "/cookies.txt";
    }();
    FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) return 0;
    std::fwrite(data, 1, size, out);
    std::fclose(out);
    wa::CookieJar jar;
    jar.LoadNetscapeFile(file);
    for (const wa::Cookie& cookie : jar.AllCookies()) jar.RemoveCookie(cookie.domain, cookie.path, cookie.name);
    return 0;
}
