// What workers want shown, gathered between two frames of the window: a
// label's last text, the progress bar's last position and every log line in
// order. Workers add to it and go on at once; the window takes it all when it
// draws.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "download/run_events.h"

namespace wa {

// The labels of a run's page that a run writes.
enum class RunLabel {
    kPercent,       // 标签_进度条比例
    kCounter,       // 标签_第多少张照片
    kSelected,      // 标签_选择了相册数量
    kCurrentAlbum,  // 标签_正在下载相册
};

// How an album of a run stands, as its row in the album list shows it.
struct AlbumRowState {
    std::string text;  // 等待, 下载中 45/100, 完成, 完成（2张失败）, 已结束
    int percent = -1;  // the bar: 0 to 100, kBusy while nobody can tell, -1 none
    static constexpr int kBusy = -2;
};

class DisplayBuffer {
public:
    struct Pending {
        std::map<RunLabel, std::string> labels;
        std::map<std::string, AlbumRowState> rows;    // by the album's key
        std::optional<std::pair<int, int>> progress;  // position, maximum
        std::string log;                              // the lines in the order they came
        std::optional<RunWait> waiting;               // the countdown's last second; 0 when it ended
        std::optional<RunOutcome> finished;           // the run ended, after all of the above
        bool Empty() const {
            return labels.empty() && rows.empty() && !progress && log.empty() && !waiting && !finished;
        }
    };

    // `first_change` is called by the change that finds the buffer empty,
    // after making it: whatever the buffer holds, a frame has been asked for
    // since it was last taken.
    explicit DisplayBuffer(std::function<void()> first_change) : first_change_(std::move(first_change)) {}

    void SetLabel(RunLabel label, const std::string& text);
    void SetRow(const std::string& key, const AlbumRowState& state);
    void SetProgress(int position, int maximum);
    void AppendLog(const std::string& text);
    void SetWaiting(const RunWait& wait);
    void SetFinished(const RunOutcome& outcome);

    // Everything gathered since the last time, leaving the buffer empty.
    Pending Take();

private:
    void Change(const std::function<void(Pending&)>& change);

    std::function<void()> first_change_;
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
