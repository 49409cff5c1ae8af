// The version page: the newest published version beside the running one.
#include <QLabel>

#include "ui/about_page.h"
#include "ui/main_window.h"
#include "net/http_text.h"
#include "net/page_fetch.h"
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

void MainWindow::CheckForUpdate(JobToken* job) {
    std::string running;
    OnWindowThread([&] { running = about_->label_version->text().toStdString(); });
    PageFetchOptions options;
    options.method = 0;
    options.job = job;
    const std::string page = PageFetch(VersionPageUrl(CurrentService()), options).body;
    if (job->StopRequested()) return;
    const std::string marker = std::string("#") + kVersionKey;
    const std::string newest = TextBetween(page, marker + "@@", marker);
    OnWindowThread([&] {
        about_->label_latest_version->setText(QString::fromStdString(newest));
        if (newest != running && WholeNumber(newest) > WholeNumber(running)) {
            about_->label_version_result->setText(QString::fromUtf8("有新版，联系客服获取最新版！"));
            OpenMessage(QString::fromUtf8("信息："), QString::fromUtf8("有新版本，联系客服索取"));
        } else {
            about_->label_version_result->setText(QString::fromUtf8("无需更新"));
        }
    });
}

}  // namespace wa
