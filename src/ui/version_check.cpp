#include "ui/version_check.h"

#include "net/page_fetch.h"
#include "settings/program.h"
#include "ui/about_page.h"
#include "ui/task_runner.h"
#include "net/http_text.h"
#include "weibo/weibo_service.h"

namespace wa {
namespace {

// Spaces removed, then the leading digits; "2.1" gives 2, no digits 0.
long long WholeNumber(std::string text) {
    std::erase(text, ' ');
    long long value = 0;
    for (std::size_t i = 0; i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 1'000'000'000; ++i) {
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

}  // namespace

std::string NewestVersionOn(const std::string& page) {
    const std::string marker = std::string("#") + kVersionKey;
    return TextBetween(page, marker + "@@", marker);
}

bool IsNewerVersion(const std::string& newest, const std::string& running) {
    return newest != running && WholeNumber(newest) > WholeNumber(running);
}

VersionChecker::VersionChecker(AboutPage* page, TaskRunner& tasks, QObject* parent)
    : QObject(parent), page_(page), tasks_(tasks) {}

void VersionChecker::Check() {
    tasks_.Run([this](JobToken* job) {
        PageFetchOptions options;
        options.method = 0;
        options.job = job;
        const std::string page = PageFetch(VersionPageUrl(CurrentService()), options).body;
        if (job->StopRequested()) return;
        const std::string newest = NewestVersionOn(page);
        QMetaObject::invokeMethod(this, [this, newest] {
            const bool newer = IsNewerVersion(newest, kVersionText);
            page_->ShowCheckResult(QString::fromStdString(newest),
                                   QString::fromUtf8(newer ? "有新版，联系客服获取最新版！" : "无需更新"));
            if (newer) emit newVersionFound();
        }, Qt::QueuedConnection);
    });
}

}  // namespace wa
