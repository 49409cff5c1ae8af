// The doors as the registry holds them: their order under 自动, their words,
// and the album keys each one knows.
#include "doors/registry.h"

#include <gtest/gtest.h>

namespace wa {
namespace {

TEST(DoorRegistry, TheOrderOfAutoTheWordsOfEachDoorAndTheKeysItKnows) {
    std::vector<std::string> keys;
    for (const Door* door : AllDoors()) keys.emplace_back(door->Words().key);
    EXPECT_EQ(keys, (std::vector<std::string>{"photo", "page"}));  // 自动 asks the photo service first
    const struct {
        const char* setting;
        const char* key;
    } words[] = {{"相册服务", "photo"}, {"相册页", "page"}, {"自动", ""}, {"别的", ""}, {"", ""}};
    for (const auto& w : words) {
        EXPECT_EQ(DoorKeyOfSetting(w.setting), w.key) << w.setting;
        if (*w.key || std::string_view(w.setting) == "自动") {
            EXPECT_EQ(DoorSettingOfKey(w.key), w.setting);
        }
    }
    EXPECT_EQ(DoorOfKey("auto"), nullptr);
    // An album of a door there is none of has no source: nothing reads it as done.
    AlbumRef unknown;
    unknown.door = "mobile";
    unknown.id = "1";
    EXPECT_EQ(SourceOf(unknown, {}), nullptr);

    const struct {
        const char* key;
        const char* door;  // "" when no door knows it
        const char* id;
        const char* type;
    } albums[] = {{"3550000000@@3", "photo", "3550000000", "3"},
                  {"page:wall", "page", "wall", ""},
                  {"page:107803_-_albumeach", "page", "107803_-_albumeach", ""},
                  {"page:", "", "", ""},
                  {"", "", "", ""}};
    for (const auto& a : albums) {
        const std::optional<AlbumRef> album = AlbumOfKey(a.key);
        EXPECT_EQ(album.has_value(), *a.door != '\0') << a.key;
        if (!album) continue;
        EXPECT_EQ(album->door, a.door) << a.key;
        EXPECT_EQ(album->id, a.id) << a.key;
        EXPECT_EQ(album->type, a.type) << a.key;
        EXPECT_EQ(album->key, a.key) << a.key;
    }
}

}  // namespace
}  // namespace wa
