// Folder helpers shared by start-up and the download engine.
#pragma once

#include <string>
#include <string_view>

namespace wa {

// Makes sure every level of `path` exists. Appends "/" to the caller's
// variable when it does not end in one, since callers append file names to it.
// True when the whole path exists afterwards.
bool EnsureDirectory(std::string& path);

// True only for an existing folder (a link to one counts), never for a file.
bool IsDirectory(std::string_view path);

// The folder of the running program, without a trailing "/".
std::string ProgramFolder();

}  // namespace wa
