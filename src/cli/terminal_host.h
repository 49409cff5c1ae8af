// The terminal as the engine's window: log lines to standard output, a
// progress bar (or a rate-limit countdown) to standard error when it is a
// terminal, the options as 配置.ini and the flags give them.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "download/download_host.h"
#include "shell/saved_options.h"

namespace wa::cli {

class TerminalHost : public DownloadHost {
public:
    TerminalHost(std::vector<AlbumRow> rows, SavedOptions options);

    int AlbumRowCount() override { return static_cast<int>(rows_.size()); }
    AlbumRow AlbumRowAt(int index) override { return rows_[static_cast<std::size_t>(index)]; }
    bool RecordStoreEnabled() override { return options_.record_store; }
    bool TimeWindowEnabled() override { return options_.time_window; }
    DateTime TimeWindowStart() override { return options_.start_date; }
    DateTime TimeWindowEnd() override { return options_.end_date; }
    std::string SaveFolder() override { return options_.save_folder; }
    NameFormat CheckedNameFormat() override { return options_.name_format.value_or(NameFormat::kContent); }
    SequenceScheme CheckedSequenceScheme() override { return options_.sequence; }
    bool LiveVideoEnabled() override { return options_.live_video; }
    bool NewOnlyEnabled() override { return options_.new_only; }
    bool UploadTimeAsFileTime() override { return options_.upload_time_as_file_time; }
    std::string CompletionSoundPath() override { return {}; }

    void AppendLog(const std::string& text) override;
    void SetProgress(int position, int maximum) override;
    void SetLabel(StatusLabel label, const std::string& text) override;
    void SetRunState(RunState) override {}
    void PlaySound(const std::string&) override {}
    void ShowMessage(const std::string&) override;

private:
    // Its callers hold the mutex: a countdown may come from a second thread.
    void DrawBar();
    void ClearBar();

    std::vector<AlbumRow> rows_;
    SavedOptions options_;
    bool bar_;
    int position_ = 0;  // -1: no total known
    std::string counter_;
    std::string album_;
    std::string status_;
    std::mutex mutex_;
};

}  // namespace wa::cli
