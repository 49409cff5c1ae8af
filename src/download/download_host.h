// What the download engine needs from whoever shows it: the window, the
// command-line front end or a test. The engine reads each option at the
// moment it needs it and reports progress, labels and log lines through it;
// it never touches a widget. A run's calls come from its worker thread, and
// a status-line countdown may also come from the thread that fetches the
// next page ahead.
#pragma once

#include <string>

#include "download/picture_naming.h"
#include "util/date_time.h"

namespace wa {

// One row of the album list as the run reads it back.
struct AlbumRow {
    bool checked = false;
    std::string number;   // "序号"
    std::string name;     // "相册名称"
    std::string count;    // "图片数量"
    std::string id_text;  // "相册ID": album id, "@@", album type
};

enum class RunState { kIdle, kRunning, kPaused };

enum class StatusLabel {
    kProgressPercent,  // 标签_进度条比例
    kPhotoCounter,     // 标签_第多少张照片
    kAlbumsSelected,   // 标签_选择了相册数量
    kCurrentAlbum,     // 标签_正在下载相册
    kStatusLine,       // 标签_动态: a rate-limit countdown while one waits, then empty
};

class DownloadHost {
public:
    virtual ~DownloadHost() = default;

    virtual int AlbumRowCount() = 0;
    virtual AlbumRow AlbumRowAt(int index) = 0;
    virtual bool RecordStoreEnabled() = 0;
    virtual bool TimeWindowEnabled() = 0;
    virtual DateTime TimeWindowStart() = 0;
    virtual DateTime TimeWindowEnd() = 0;
    virtual std::string SaveFolder() = 0;
    virtual NameFormat CheckedNameFormat() = 0;
    virtual SequenceScheme CheckedSequenceScheme() = 0;
    // Whether a live photo's video is saved beside its still (实况视频).
    virtual bool LiveVideoEnabled() = 0;
    // Whether an album is read only down to where its last complete run
    // stopped (只下载新照片); it needs the record store.
    virtual bool NewOnlyEnabled() = 0;
    // Whether saved files get their upload time as modification time (文件时间).
    virtual bool UploadTimeAsFileTime() = 0;
    virtual std::string CompletionSoundPath() = 0;

    virtual void AppendLog(const std::string& text) = 0;
    // A maximum of 0: how far the album is cannot be told (a busy bar).
    virtual void SetProgress(int position, int maximum) = 0;
    virtual void SetLabel(StatusLabel label, const std::string& text) = 0;
    virtual void SetRunState(RunState state) = 0;
    virtual void PlaySound(const std::string& path) = 0;
    virtual void ShowMessage(const std::string& text) = 0;
};

}  // namespace wa
