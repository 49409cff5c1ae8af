// A download host that keeps everything in memory, for engine tests.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "download/download_host.h"

namespace wa::test {

class MemoryHost : public DownloadHost {
public:
    // Options, as the window's controls would hold them.
    std::vector<AlbumRow> rows;
    bool record_store = false;
    bool time_window = false;
    DateTime window_start{2006, 3, 30};
    DateTime window_end{2025, 12, 30};
    std::string save_folder;
    NameFormat format = NameFormat::kNumberThenContent;
    SequenceScheme scheme = SequenceScheme::kRunning;
    std::string sound;
    bool live_video = true;
    bool new_only = false;
    bool upload_time = true;
    // Called on every progress update, from the worker.
    std::function<void(int position)> on_progress;

    std::string Log() const {
        std::lock_guard lock(mutex_);
        return log_;
    }
    std::string Label(StatusLabel label) const {
        std::lock_guard lock(mutex_);
        const auto it = labels_.find(label);
        return it == labels_.end() ? "" : it->second;
    }
    std::string LastShown(StatusLabel label) const {
        std::lock_guard lock(mutex_);
        const auto it = last_shown_.find(label);
        return it == last_shown_.end() ? "" : it->second;
    }
    std::vector<RunState> States() const {
        std::lock_guard lock(mutex_);
        return states_;
    }
    std::vector<std::string> Messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    std::vector<std::string> Sounds() const {
        std::lock_guard lock(mutex_);
        return sounds_;
    }
    int Position() const {
        std::lock_guard lock(mutex_);
        return position_;
    }

    int AlbumRowCount() override { return static_cast<int>(rows.size()); }
    AlbumRow AlbumRowAt(int index) override { return rows[static_cast<std::size_t>(index)]; }
    bool RecordStoreEnabled() override { return record_store; }
    bool TimeWindowEnabled() override { return time_window; }
    DateTime TimeWindowStart() override { return window_start; }
    DateTime TimeWindowEnd() override { return window_end; }
    std::string SaveFolder() override { return save_folder; }
    NameFormat CheckedNameFormat() override { return format; }
    SequenceScheme CheckedSequenceScheme() override { return scheme; }
    bool LiveVideoEnabled() override { return live_video; }
    bool NewOnlyEnabled() override { return new_only; }
    bool UploadTimeAsFileTime() override { return upload_time; }
    std::string CompletionSoundPath() override { return sound; }

    void AppendLog(const std::string& text) override {
        std::lock_guard lock(mutex_);
        log_ += text;
    }
    void SetProgress(int position, int) override {
        {
            std::lock_guard lock(mutex_);
            position_ = position;
        }
        if (on_progress) on_progress(position);
    }
    void SetLabel(StatusLabel label, const std::string& text) override {
        std::lock_guard lock(mutex_);
        labels_[label] = text;
        if (!text.empty()) last_shown_[label] = text;
    }
    void SetRunState(RunState state) override {
        std::lock_guard lock(mutex_);
        states_.push_back(state);
    }
    void PlaySound(const std::string& path) override {
        std::lock_guard lock(mutex_);
        sounds_.push_back(path);
    }
    void ShowMessage(const std::string& text) override {
        std::lock_guard lock(mutex_);
        messages_.push_back(text);
    }

private:
    mutable std::mutex mutex_;
    std::string log_;
    std::map<StatusLabel, std::string> labels_;
    std::map<StatusLabel, std::string> last_shown_;  // before a label was cleared
    std::vector<RunState> states_;
    std::vector<std::string> messages_;
    std::vector<std::string> sounds_;
    int position_ = 0;
};

}  // namespace wa::test
