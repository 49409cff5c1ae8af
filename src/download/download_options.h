// The options of a download, as one value: the engine asks its options
// source for a copy at the moments it reads them (the record store, the date
// window, the folder and the video and time switches when an album starts;
// the naming when each picture is named), so a change made during a run
// applies from there on.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "download/picture_naming.h"
#include "util/date_time.h"

namespace wa {

struct DateWindow {
    bool on = false;
    DateTime start{2006, 3, 30};  // photos uploaded after it are taken
    // Photos uploaded before it are taken; a date alone (its time 00:00:00)
    // means through that day.
    DateTime end{2025, 12, 30};

    friend bool operator==(const DateWindow&, const DateWindow&) = default;
};

struct DownloadOptions {
    std::optional<NameFormat> name_format = NameFormat::kNumberThenContent;  // none: no naming chosen (内容)
    SequenceScheme sequence = SequenceScheme::kRunning;
    bool record_store = false;  // skip photos recorded as saved before (下载记录)
    bool new_only = false;      // read an album only down to its last complete run (只下载新照片)
    DateWindow window;
    bool upload_time_as_file_time = true;  // 文件时间
    bool live_video = true;                // 实况视频
    bool write_metadata = false;           // 写入照片信息: date, caption, author and post inside each JPEG and PNG
    bool album_index = false;              // 保存相册索引: 相册索引.json beside each album's pictures
    std::string door;                      // the key of 相册来源's door; empty: 自动
    int parallel = 4;                      // pictures in flight at once, 1 to 16
    int request_spacing_ms = 1000;         // between requests to the service; 0 none
    std::string save_folder;               // empty: beside the program (its data folder)

    NameFormat NameFormatOrContent() const { return name_format.value_or(NameFormat::kContent); }
    friend bool operator==(const DownloadOptions&, const DownloadOptions&) = default;
};

// What a download does when nobody chose otherwise: the settings file's
// defaults too. (Not constexpr: clang's std::string is not, in a constant.)
inline const DownloadOptions kDefaultOptions{};

// Gives the options as they stand now; called by the run's threads.
using OptionsSource = std::function<DownloadOptions()>;

}  // namespace wa
