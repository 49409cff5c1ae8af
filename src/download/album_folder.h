// The folder an album's pictures go to: save folder / user / album name and
// count, made one level at a time below the save folder and never through a
// symbolic link. One album keeps one folder from run to run, whatever its
// count was then.
#pragma once

#include <functional>
#include <string>

#include "doors/album_ref.h"
#include "util/folders.h"

namespace wa {

class RecordStore;

// The user's folder and the album's, as a file system takes them: cleaned,
// and cut to fit; the album's carries the digits of its count.
std::string UserFolderName(const std::string& title);
std::string AlbumFolderName(const AlbumRef& album);

struct AlbumFolder {
    enum class Problem {
        kNone,
        kBadName,  // the names are no plain folder names
        kLink,     // a symbolic link stands where a folder should be
    };
    Problem problem = Problem::kNone;
    FolderHandle handle;  // may be closed when the folder could not be made: every picture then fails
    std::string name;     // the album's folder below the user's
    std::string path;     // the album folder's path; the user's where a link stood instead

    // Removes the folders this run made when nothing is in them: a run that
    // saved nothing leaves no empty folder behind.
    void RemoveWhenEmpty() const;

    FolderHandle save;    // the save folder
    FolderHandle user;    // the user's folder in it
    std::string user_name;
    bool made_user = false;
    bool made_album = false;
};

// Opens (or makes) the album's folder below `save_folder` / `user_title`.
// When the album's folder under its count is not there, the folder it was
// saved in last (as `store` has it), else the one folder of its name and
// another count that no other album was saved in, takes the current name,
// never replacing anything, and `log` says so. Leftovers of runs that ended
// without cleaning up are removed from it.
AlbumFolder OpenAlbumFolder(std::string save_folder, const std::string& user_title, const AlbumRef& album,
                            RecordStore& store, const std::function<void(const std::string& line)>& log);

}  // namespace wa
