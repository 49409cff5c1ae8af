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

// How often the window draws what workers want shown: about 30 frames a
// second where a frame is cheap to paint, fewer where painting is dear (a
// window composited in software), so that painting takes no more than a
// twentieth of the window thread (its X server has as much again to do) and
// never slows a run. Fed with the time each paint of the window took.
class FramePace {
public:
    static constexpr int kShortestMilliseconds = 33;
    static constexpr int kLongestMilliseconds = 250;

    void Painted(double milliseconds);
    // The time to leave between the starts of two frames.
    int IntervalMilliseconds() const;

private:
    double paint_milliseconds_ = 0;  // a running average: one slow paint only slows a few frames
};

}  // namespace wa
