#include "util/ini_file.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "temp_folder.h"

namespace wa {
namespace {

std::string ReadAll(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

TEST(ReadSetting, MissingFileSectionOrKeyGivesTheDefault) {
    test::TempFolder temp;
    const std::string file = temp / "配置.ini";
    EXPECT_EQ(ReadSetting(file, "全局设置", "下载记录", "未启用"), "未启用");
    EXPECT_EQ(ReadSetting(file, "全局设置", "下载记录"), "");
    EXPECT_FALSE(std::filesystem::exists(file));

    WriteAll(file, "[全局设置]\n时间段=已启用\n");
    EXPECT_EQ(ReadSetting(file, "其他", "时间段", "d"), "d");
    EXPECT_EQ(ReadSetting(file, "全局设置", "下载记录", "d"), "d");
}

TEST(ReadSetting, NamesMatchWithoutCaseOrSurroundingBlanks) {
    test::TempFolder temp;
    const std::string file = temp / "a.ini";
    WriteAll(file, "; comment\r\n[ Mp3路径 ]\r\n  保存位置 =  /home/u/done.mp3  \r\n");
    EXPECT_EQ(ReadSetting(file, "mp3路径", "保存位置"), "/home/u/done.mp3");
    EXPECT_EQ(ReadSetting(file, "MP3路径 ", " 保存位置"), "/home/u/done.mp3");
}

TEST(ReadSetting, SameKeyInTwoSectionsStaysApart) {
    test::TempFolder temp;
    const std::string file = temp / "配置.ini";
    ASSERT_TRUE(WriteSetting(file, "全局设置", "保存位置", "/pictures"));
    ASSERT_TRUE(WriteSetting(file, "mp3路径", "保存位置", "/sounds/end.mp3"));
    ASSERT_TRUE(WriteSetting(file, "全局设置", "保存位置", "/pictures2"));
    EXPECT_EQ(ReadSetting(file, "全局设置", "保存位置"), "/pictures2");
    EXPECT_EQ(ReadSetting(file, "mp3路径", "保存位置"), "/sounds/end.mp3");
}

TEST(ReadSetting, EmptyNamesReturnEmptyWithoutTouchingTheFile) {
    test::TempFolder temp;
    const std::string file = temp / "a.ini";
    EXPECT_EQ(ReadSetting(file, "", "k", "d"), "");
    EXPECT_EQ(ReadSetting(file, "s", "", "d"), "");
    EXPECT_FALSE(WriteSetting(file, "", "k", "v"));
    EXPECT_FALSE(WriteSetting(file, "s", " ", "v"));
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(ReadSetting, LongValuesAreCutAtTheLimitOnACharacterBoundary) {
    test::TempFolder temp;
    const std::string file = temp / "a.ini";
    std::string value(10238, 'x');
    value += "相相";
    ASSERT_TRUE(WriteSetting(file, "s", "k", value));
    EXPECT_EQ(ReadSetting(file, "s", "k"), std::string(10238, 'x'));
}

TEST(WriteSetting, FirstWriteCreatesTheFile) {
    test::TempFolder temp;
    const std::string file = temp / "配置.ini";
    ASSERT_TRUE(WriteSetting(file, "全局设置", "下载记录", "已启用"));
    EXPECT_EQ(ReadAll(file), "[全局设置]\n下载记录=已启用\n");
    // A file made now gets what the umask leaves of 0666, like any new file.
    const mode_t old_mask = ::umask(027);
    const std::string made = temp / "new.ini";
    ASSERT_TRUE(WriteSetting(made, "a", "b", "c"));
    ::umask(old_mask);
    EXPECT_EQ(std::filesystem::status(made).permissions(), std::filesystem::perms(0640));
}

TEST(WriteSetting, ReplacesInPlaceAndKeepsEveryOtherLine) {
    test::TempFolder temp;
    const std::string file = temp / "配置.ini";
    WriteAll(file,
             "; kept comment\r\n[全局设置]\r\n下载记录 = 未启用\r\n时间段=未启用\r\n\r\n"
             "[Unknown]\r\nx=1\r\n");
    ASSERT_TRUE(WriteSetting(file, "全局设置", "下载记录", "已启用"));
    ASSERT_TRUE(WriteSetting(file, "全局设置", "图片名称格式", "内容"));
    ASSERT_TRUE(WriteSetting(file, "mp3路径", "保存位置", "/a b.mp3"));
    EXPECT_EQ(ReadAll(file),
              "; kept comment\r\n[全局设置]\r\n下载记录=已启用\r\n时间段=未启用\r\n"
              "图片名称格式=内容\r\n\r\n[Unknown]\r\nx=1\r\n\r\n[mp3路径]\r\n保存位置=/a b.mp3\r\n");
}

TEST(WriteSetting, FileWithoutFinalLineEndGetsTheNewKeyOnItsOwnLine) {
    test::TempFolder temp;
    const std::string file = temp / "a.ini";
    WriteAll(file, "[s]\na=1");
    ASSERT_TRUE(WriteSetting(file, "s", "b", "2"));
    EXPECT_EQ(ReadAll(file), "[s]\na=1\nb=2\n");
}

TEST(WriteSetting, RefusesLineBreaksThatWouldForgeLines) {
    test::TempFolder temp;
    const std::string file = temp / "a.ini";
    EXPECT_FALSE(WriteSetting(file, "s", "k", "x\n[evil]"));
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(WriteSetting, GbkFileFromWindowsIsReadAndWrittenBackInGbk) {
    test::TempFolder temp;
    const std::string file = temp / "配置.ini";
    // [全局设置] 保存位置=D:\相册 in GBK, as the Windows program wrote it.
    const std::string gbk =
        "[\xC8\xAB\xBE\xD6\xC9\xE8\xD6\xC3]\r\n"
        "\xB1\xA3\xB4\xE6\xCE\xBB\xD6\xC3=D:\\\xCF\xE0\xB2\xE1\r\n";
    WriteAll(file, gbk);
    EXPECT_EQ(ReadSetting(file, "全局设置", "保存位置"), "D:\\相册");

    ASSERT_TRUE(WriteSetting(file, "全局设置", "下载记录", "已启用"));
    // 下载记录=已启用 in GBK, appended to the section; the old line unchanged.
    EXPECT_EQ(ReadAll(file), gbk + "\xCF\xC2\xD4\xD8\xBC\xC7\xC2\xBC=\xD2\xD1\xC6\xF4\xD3\xC3\r\n");
    EXPECT_EQ(ReadSetting(file, "全局设置", "下载记录"), "已启用");
}

TEST(WriteSetting, WindowsFilesAsWindowsReadsThem) {
    test::TempFolder temp;
    const std::string file = temp / "配置.ini";
    // 0x80 is the euro sign of code page 936; lines end in a lone CR.
    WriteAll(file, "[s]\rprice=\x80" "5\rname=\xCF\xE0\xB2\xE1\r");
    EXPECT_EQ(ReadSetting(file, "s", "price"), "€5");
    EXPECT_EQ(ReadSetting(file, "s", "name"), "相册");
    ASSERT_TRUE(WriteSetting(file, "s", "face", "相册😀"));  // a character GBK lacks becomes "?"
    EXPECT_EQ(ReadAll(file), "[s]\rprice=\x80" "5\rname=\xCF\xE0\xB2\xE1\rface=\xCF\xE0\xB2\xE1?\r");

    // Found by fuzzing: GBK text whose first bytes look like a UTF-8 byte-order
    // mark stays GBK and reads back what was written.
    WriteAll(file, "\xEF\xBB\xBF\xB1\xA3\xB4\r\n");
    ASSERT_TRUE(WriteSetting(file, "全局设置", "保存位置", "/tmp/相册"));
    EXPECT_EQ(ReadSetting(file, "全局设置", "保存位置"), "/tmp/相册");
    EXPECT_TRUE(ReadAll(file).starts_with("\xEF\xBB\xBF\xB1\xA3\xB4\r\n"));
    WriteAll(file, "\xEF\xBB\xBF\xEF\xBB\xBF\xE5");  // a GBK character cut short: never rewritten
    EXPECT_FALSE(WriteSetting(file, "全局设置", "保存位置", "/tmp/相册"));
}

TEST(SettingsFile, WhatIsNotASettingsFileIsNeitherReadNorReplaced) {
    test::TempFolder temp;
    const std::string folder = temp / "a-folder.ini";
    std::filesystem::create_directory(folder);
    const std::string big = temp / "big.ini";
    WriteAll(big, "[s]\nk=v\n" + std::string(1 << 20, ';'));
    const std::string binary = temp / "binary.ini";
    WriteAll(binary, "[s]\nk=\xFF\xFF\n");
    for (const std::string& file : {folder, big, binary, std::string("/dev/null")}) {
        EXPECT_NE(SettingsFileProblem(file), "") << file;
        EXPECT_EQ(ReadSetting(file, "s", "k", "default"), "default") << file;
        EXPECT_FALSE(WriteSetting(file, "s", "k", "new")) << file;
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    EXPECT_EQ(SettingsFileProblem(temp / "missing.ini"), "");
}

TEST(WriteSetting, LeavesNoTemporaryFileBehind) {
    test::TempFolder temp;
    const std::string file = temp / "a.ini";
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(WriteSetting(file, "s", "k", std::to_string(i)));
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(temp.path())) ++count;
    EXPECT_EQ(count, 1);
    EXPECT_EQ(ReadSetting(file, "s", "k"), "4");
}

TEST(WriteSetting, FailsWhenTheFolderIsMissing) {
    test::TempFolder temp;
    EXPECT_FALSE(WriteSetting(temp / "missing/a.ini", "s", "k", "v"));
}

}  // namespace
}  // namespace wa
