#include "download/album_folder.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "download/picture_file.h"
#include "download/picture_naming.h"
#include "download/record_store.h"
#include "util/folders.h"
#include "util/text.h"

namespace wa {
namespace {

// A path component the engine may make: no separator, not "." or "..".
// Empty is allowed: it adds no folder.
bool IsPlainName(std::string_view name) {
    return name.find('/') == std::string_view::npos && name != "." && name != "..";
}

// The one folder of the user's named `stem` and a count, that no other
// album was saved in.
std::optional<std::string> OnlyOtherCount(const FolderHandle& user_folder, const std::string& stem,
                                          const std::string& key, RecordStore& store) {
    std::vector<std::string> found;
    for (const std::string& name : user_folder.ChildFolders()) {
        const std::string_view rest = std::string_view(name).substr(std::min(name.size(), stem.size()));
        if (!stem.empty() && name.starts_with(stem) && !rest.empty() &&
            rest.find_first_not_of("0123456789") == std::string_view::npos && !store.FolderOfAnotherAlbum(name, key)) {
            found.push_back(name);
        }
    }
    return found.size() == 1 ? std::optional<std::string>(found.front()) : std::nullopt;
}

// The folder the album keeps: `name` when it is there, else an earlier one
// of the album's renamed to it (or, when that cannot be, used as it is).
std::string KeepOneFolder(const FolderHandle& user_folder, const std::string& name, const AlbumRef& album,
                          RecordStore& store, const std::function<void(const std::string&)>& log) {
    std::string kept = name;
    if (!user_folder.Holds(name)) {
        std::optional<std::string> earlier = store.AlbumFolder(album.key);
        if (earlier && !IsOneName(*earlier)) {  // a record store is a file anyone may have written
            log("防止重复下载数据库中本相册的文件夹“" + OneLine(*earlier) + "”不是一个文件夹名称，不使用");
            earlier.reset();
        }
        if (!earlier || *earlier == name || !user_folder.Holds(*earlier)) {
            earlier = OnlyOtherCount(user_folder, FitName("", CleanName(album.name), ""), album.key, store);
        }
        if (earlier && user_folder.RenameChild(*earlier, name)) {
            log("相册文件夹“" + *earlier + "”已改名为“" + name + "”，继续在其中下载");
        } else if (earlier) {
            log("相册文件夹“" + *earlier + "”无法改名为“" + name + "”，仍在其中下载");
            kept = *earlier;
        }
    }
    store.SetAlbumFolder(album.key, kept);
    store.SetAlbumName(album.key, album.name);
    return kept;
}

}  // namespace

void AlbumFolder::RemoveWhenEmpty() const {
    if (made_album) user.RemoveEmptyChild(name);
    if (made_user) save.RemoveEmptyChild(user_name);
}

std::string UserFolderName(const std::string& title) { return FitName("", CleanName(title), ""); }

std::string AlbumFolderName(const AlbumRef& album) {
    // Names that would not fit a file system are cut; the count stays.
    return FitName("", CleanName(album.name), album.count ? std::to_string(*album.count) : "");
}

AlbumFolder OpenAlbumFolder(std::string save_folder, const std::string& user_title, const AlbumRef& album,
                            RecordStore& store, const std::function<void(const std::string& line)>& log) {
    AlbumFolder folder;
    folder.name = AlbumFolderName(album);
    const std::string user = UserFolderName(user_title);
    if (!save_folder.ends_with('/')) save_folder += '/';
    if (!IsPlainName(user) || !IsPlainName(folder.name)) {
        // Cleaning keeps every name below the save folder; this never lets one out.
        folder.problem = AlbumFolder::Problem::kBadName;
        return folder;
    }
    FolderHandle::Refusal why = FolderHandle::Refusal::kNone;
    folder.save = FolderHandle::OpenOrMake(save_folder);
    folder.user = folder.save.Child(user, &why, &folder.made_user);
    folder.user_name = user;
    folder.path = save_folder + user;
    if (why != FolderHandle::Refusal::kLink) {
        folder.name = KeepOneFolder(folder.user, folder.name, album, store, log);
        folder.handle = folder.user.Child(folder.name, &why, &folder.made_album);
        folder.path = save_folder + user + "/" + folder.name;
    }
    if (why == FolderHandle::Refusal::kLink) {
        folder.problem = AlbumFolder::Problem::kLink;
        return folder;
    }
    PictureFile::RemoveLeftovers(folder.handle.fd());
    return folder;
}

}  // namespace wa
