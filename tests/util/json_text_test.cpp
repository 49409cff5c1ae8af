#include "util/json_text.h"

#include <gtest/gtest.h>

#include <string>

namespace wa {
namespace {

TEST(JsonQuoted, AnyTextIsOneStringEveryReaderTakes) {
    const struct {
        std::string text;
        const char* written;
    } cases[] = {
        {std::string("a\0b", 3), R"("a\u0000b")"},
        {"\x1b[2J\x7f\xc2\x9b", R"("\u001B[2J\u007F\u009B")"},
        {"\xe2\x80\xae\xe2\x80\xa8\xe2\x80\xa9\xd8\x9c", R"("\u202E\u2028\u2029\u061C")"},
        {"\xff\xfe名", "\"\xef\xbf\xbd\xef\xbf\xbd名\""},
        {"\"\\/\n\t", R"("\"\\/\n\t")"},
    };
    for (const auto& c : cases) EXPECT_EQ(JsonQuoted(c.text), c.written) << c.written;
}

// Written as Weibo's servers write, the text reads back as a Weibo answer
// read by JsonText: the answers of the fake service and the program's own
// reading agree.
TEST(JsonQuoted, AsWeiboItReadsBackAsTheServiceWroteIt) {
    const struct {
        std::string text;
        JsonQuoting how;
        const char* written;
    } cases[] = {
        {"a/b\x01\xe2\x80\xae", {.as_weibo = true}, "\"a\\/b\\u0001\xe2\x80\xae\""},
        {"相册😀", {.as_weibo = true, .ascii_only = true}, R"("\u76f8\u518c\ud83d\ude00")"},
        {"\xff", {.as_weibo = true}, "\"\xff\""},  // the bytes as they stand
    };
    for (const auto& c : cases) {
        const std::string written = JsonQuoted(c.text, c.how);
        EXPECT_EQ(written, c.written);
        const JsonDocument parsed = ParseJson(written);
        ASSERT_TRUE(parsed || !c.how.ascii_only) << written;
        if (c.how.ascii_only) {
            EXPECT_EQ(JsonText(parsed.get()), JsonQuoted(c.text, {.as_weibo = true}));
        }
    }
}

}  // namespace
}  // namespace wa
