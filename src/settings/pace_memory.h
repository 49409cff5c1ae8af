// The pace learned from the service's limits, kept beside 配置.ini in
// 请求节奏.ini so that the next run of the window, the command line or the
// daily sync starts from it.
#pragma once

#include <string>

#include "weibo/pacer.h"

namespace wa {

// "<config folder>/请求节奏.ini"
std::string PaceMemoryPath(const std::string& config_folder);

// What the file holds; empty when it is missing or says nothing usable.
PaceMemory ReadPaceMemory(const std::string& path);
bool WritePaceMemory(const std::string& path, const PaceMemory& memory);

// Starts `pacer` from what `path` keeps and writes every change of its pace
// there from now on.
void KeepPace(Pacer& pacer, const std::string& path);

}  // namespace wa
