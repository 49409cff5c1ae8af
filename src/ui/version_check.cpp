#include "ui/version_check.h"

#include <utility>

#include <algorithm>
#include <optional>
#include <vector>

#include "net/net_failure.h"
#include "net/page_fetch.h"
#include "settings/program.h"
#include "ui/about_page.h"
#include "ui/task_runner.h"
#include "net/http_text.h"
#include "weibo/weibo_service.h"

namespace wa {
namespace {

// "2.10.1" as {2, 10, 1}, spaces ignored; nothing for a text that is not
// numbers between dots.
std::optional<std::vector<long long>> VersionNumbers(std::string text) {
    std::erase(text, ' ');
    std::vector<long long> numbers{0};
    bool digit_seen = false;
    for (const char c : text) {
        if (c == '.' && digit_seen) {
            numbers.push_back(0);
            digit_seen = false;
        } else if (c >= '0' && c <= '9' && numbers.back() < 1'000'000'000) {
            numbers.back() = numbers.back() * 10 + (c - '0');
            digit_seen = true;
        } else if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    if (!digit_seen) return std::nullopt;
    return numbers;
}

}  // namespace

std::string NewestVersionOn(const std::string& page) {
    const std::string marker = std::string("#") + kVersionKey;
    return TextBetween(page, marker + "@@", marker);
}

bool IsNewerVersion(const std::string& newest, const std::string& running) {
    std::optional<std::vector<long long>> a = VersionNumbers(newest);
    std::optional<std::vector<long long>> b = VersionNumbers(running);
    if (!a || !b) return false;
    // 2.1 and 2.1.0 are one version.
    const std::size_t parts = std::max(a->size(), b->size());
    a->resize(parts, 0);
    b->resize(parts, 0);
    return *a > *b;
}

VersionChecker::VersionChecker(AboutPage* page, TaskRunner& tasks, QObject* parent)
    : QObject(parent), page_(page), tasks_(tasks) {}

void VersionChecker::CheckFirstTime() {
    if (!std::exchange(checked_, true)) Check();
}

void VersionChecker::Check() {
    checked_ = true;
    page_->ShowChecking();
    tasks_.Run([this](JobToken* job) {
        PageFetchOptions options;
        options.method = 0;
        options.job = job;
        const std::string url = VersionPageUrl(CurrentService());
        const PageFetchResult answer = PageFetch(url, options);
        if (job->StopRequested()) return;
        const std::string newest = NewestVersionOn(answer.body);
        std::string failure;
        if (answer.status != 200 || answer.body.empty()) failure = FailureReason(url, answer.Answer());
        else if (!VersionNumbers(newest)) failure = "版本页面上没有版本号";
        QMetaObject::invokeMethod(this, [this, newest, failure] {
            if (!failure.empty()) {
                page_->ShowCheckResult({}, QString::fromStdString("检查更新失败：" + failure));
                return;
            }
            const bool newer = IsNewerVersion(newest, kVersionText);
            page_->ShowCheckResult(QString::fromStdString(newest),
                                   QString::fromUtf8(newer ? "有新版，联系客服获取最新版！" : "无需更新"));
            if (newer) emit newVersionFound();
        }, Qt::QueuedConnection);
    });
}

}  // namespace wa
