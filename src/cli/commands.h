// The commands of weibo-albums-cli: list a user's albums, or download those
// of one user after the other, with the options of 配置.ini unless flags say
// otherwise.
#pragma once

#include "cli/arguments.h"

namespace wa::cli {

// Runs the command `args` asks for; its exit status.
int RunCommand(const Arguments& args);

}  // namespace wa::cli
