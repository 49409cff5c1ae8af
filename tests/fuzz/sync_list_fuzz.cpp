// Sync lists as a person with an editor, or a broken disk, might leave them:
// read, changed as the window changes them, and read back the same.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "settings/sync_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    wa::SyncList list = wa::ParseSyncList(text);
    if (!list.Whole()) return 0;
    const auto entries = list.Entries();
    // Whatever the note, the line written for it reads back.
    if (!list.Put({"1234567890", {"1@@3", "page:wall"}, std::string(text.substr(0, 5000))})) __builtin_trap();
    if (!entries.empty()) list.Remove(entries.front().target);
    // What the window writes reads back as the entries it holds.
    const wa::SyncList again = wa::ParseSyncList(list.Text());
    if (!again.Whole() || again.Entries() != list.Entries()) __builtin_trap();
    return 0;
}
