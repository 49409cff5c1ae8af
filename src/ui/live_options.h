// The options a run reads while it goes, as the settings page shows them:
// copied under a lock the moment a control changes, so a worker never reads
// a widget or waits for the window thread.
#pragma once

#include <mutex>
#include <string>

#include "download/download_options.h"

namespace wa {

class LiveOptions {
public:
    void Set(const DownloadOptions& options);
    DownloadOptions Get() const;
    // The options of a run: as they stand when it asks, with the save
    // folder taken when the run began.
    OptionsSource ForRun(std::string save_folder) const;

private:
    mutable std::mutex mutex_;
    DownloadOptions options_;
};

}  // namespace wa
