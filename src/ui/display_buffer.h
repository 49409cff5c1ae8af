// What workers want shown, gathered between two frames of the window: a
// label's last text, the progress bar's last position and every log line in
// order. Workers add to it and go on at once; the window takes it all when it
// draws.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "download/download_host.h"

namespace wa {

class DisplayBuffer {
public:
    struct Pending {
        std::map<StatusLabel, std::string> labels;
        std::optional<std::pair<int, int>> progress;  // position, maximum
        std::string log;                              // the lines in the order they came
        bool Empty() const { return labels.empty() && !progress && log.empty(); }
    };

    // Each is true when it found the buffer empty: the window is to be told
    // that there is something to draw.
    bool SetLabel(StatusLabel label, const std::string& text);
    bool SetProgress(int position, int maximum);
    bool AppendLog(const std::string& text);

    // Everything gathered since the last time, leaving the buffer empty.
    Pending Take();

private:
    bool WasEmpty() const { return pending_.Empty(); }

    std::mutex mutex_;
    Pending pending_;
};

}  // namespace wa
