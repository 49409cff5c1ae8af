#include "ui/live_options.h"

namespace wa {

void LiveOptions::Set(const DownloadOptions& options) {
    std::lock_guard lock(mutex_);
    options_ = options;
}

DownloadOptions LiveOptions::Get() const {
    std::lock_guard lock(mutex_);
    return options_;
}

OptionsSource LiveOptions::ForRun(std::string save_folder) const {
    return [this, save_folder = std::move(save_folder)] {
        DownloadOptions options = Get();
        options.save_folder = save_folder;
        return options;
    };
}

}  // namespace wa
