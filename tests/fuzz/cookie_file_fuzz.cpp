// Cookie files in the Netscape format, as exported by any browser or tool.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <stdlib.h>

#include "weibo/cookie_jar.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A private folder for the one file, removed when the run ends.
    static const struct Scratch {
        std::string folder;
        std::string file;
        Scratch() {
            char pattern[] = "/tmp/wa-cookie-fuzz-XXXXXX";
            folder = ::mkdtemp(pattern);
            file = folder + "/cookies.txt";
        }
        ~Scratch() {
            std::remove(file.c_str());
            ::rmdir(folder.c_str());
        }
    } scratch;
    const std::string& file = scratch.file;
    FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) return 0;
    std::fwrite(data, 1, size, out);
    std::fclose(out);
    wa::CookieJar jar;
    jar.LoadNetscapeFile(file);
    for (const wa::Cookie& cookie : jar.AllCookies()) jar.RemoveCookie(cookie.domain, cookie.path, cookie.name);
    return 0;
}
