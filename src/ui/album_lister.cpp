#include "ui/album_lister.h"

#include <QImage>

#include "download/user_albums.h"
#include "net/page_fetch.h"
#include "ui/album_page.h"
#include "ui/run_presenter.h"
#include "ui/task_runner.h"
#include "util/job_token.h"
#include "weibo/service_request.h"
#include "weibo/weibo_service.h"

namespace wa {

AlbumLister::AlbumLister(AlbumPage* page, RunPresenter* log, TaskRunner& tasks, std::string data_folder, Pacer& pacer,
                         Message message, QObject* parent)
    : QObject(parent), page_(page), log_(log), tasks_(tasks), data_folder_(std::move(data_folder)), pacer_(pacer),
      message_(std::move(message)) {}

void AlbumLister::List(const std::string& address, const std::string& door, bool covers) {
    if (address.empty()) {
        message_(QString::fromUtf8("信息："), QString::fromUtf8("请输入网址"));
        return;
    }
    page_->ShowUser(QString::fromUtf8("正在获取 耐心等待！"));
    page_->SetListing(true);
    const int generation = ++generation_;  // a newer listing supersedes this one
    if (listing_) listing_->RequestStop();
    listing_ = tasks_.Run([this, generation, address, door, covers](JobToken* job) {
        Work(job, generation, address, door, covers);
    });
}

void AlbumLister::Cancel() {
    if (listing_) listing_->RequestStop();
    listing_.reset();
    ++generation_;  // nothing it finds from now on is shown
    page_->EndListing();
    page_->SetListing(false);
    page_->ShowStatus(QString::fromUtf8("已取消获取相册"));
    log_->LogNow("已取消获取相册");
}

void AlbumLister::FindAlbumPage(const std::string& address) {
    tasks_.Run([this, address](JobToken* job) {
        const UserLookup found = ResolveUserPage(address, job);
        if (job->StopRequested()) return;
        QMetaObject::invokeMethod(this, [this, uid = found.user.uid] {
            emit albumPageFound(QUrl(QString::fromStdString(AlbumPageUrl(CurrentService(), uid))));
        }, Qt::QueuedConnection);
    });
}

void AlbumLister::Post(int generation, std::function<void()> call) {
    QMetaObject::invokeMethod(this, [this, generation, call = std::move(call)] {
        if (Current(generation)) call();
    }, Qt::QueuedConnection);
}

void AlbumLister::Work(JobToken* job, int generation, const std::string& address, const std::string& door, bool covers) {
    ServiceRequest request;
    request.job = job;
    request.pacer = &pacer_;
    request.log = [this, generation](const std::string& line) { Post(generation, [this, line] { log_->LogNow(line); }); };
    request.countdown = [this, generation](const RunWait& wait) {
        Post(generation, [this, wait] { page_->ShowCountdown(wait); });
    };
    const auto user_found = [this, generation](const ResolvedUser& user) {
        Post(generation, [this, user] {
            listed_ = user;  // the rows about to be listed are this user's
            page_->ShowUser(QString::fromUtf8("要下载用户：") + QString::fromStdString(user.title));
            page_->ShowStatus(QString::fromUtf8("温馨提示：正在获取相册列表..."));
            log_->LogNow("正努力获取相册列表，耐心等待哈！\n");
            page_->BeginListing();
            emit userFound(QString::fromStdString(user.uid));
        });
    };
    const UserAlbums found = FindUserAlbums(address, door, request, user_found, data_folder_);
    if (job->StopRequested() || !Current(generation)) return;
    const std::vector<AlbumRef>& albums = found.listing.albums;
    if (albums.empty()) {
        Post(generation, [this, listing = found.listing] {
            page_->BeginListing();  // nothing from before stays
            ShowEnd(listing);
        });
        return;
    }
    const int count = static_cast<int>(albums.size());
    for (int i = 1; i <= count; ++i) {
        Post(generation, [this, i, count] { page_->ShowListingProgress(i, count); });
        if (!WaitOnJob(std::chrono::milliseconds(200), job) || !Current(generation)) return;  // a cancel or a newer listing ends it
        const AlbumRef& album = albums[static_cast<std::size_t>(i - 1)];
        // A cover that cannot be fetched or decoded shows the placeholder.
        QImage cover;
        if (covers && !album.cover_url.empty()) {
            // The picture servers answer 403 unless the Referer is the site.
            PageFetchOptions options;
            options.job = job;
            options.extra_headers = "Referer: " + CurrentService().home_page;
            cover = AlbumPage::CoverImage(PageFetch(album.cover_url, options).body);
        }
        Post(generation, [this, album, cover, covers] { page_->AddAlbum(album, cover, covers); });
    }
    Post(generation, [this] {
        page_->EndListing();
        page_->SetListing(false);
        const QString total = QString::number(page_->AlbumCount());
        page_->ShowStatus(QString::fromUtf8("相册列表获取完毕,共计") + total + QString::fromUtf8("个"));
        log_->LogNow("-----获取完毕,共计" + total.toStdString() + "个\n选择要下载的 点击【3下载选中】\n");
    });
}

void AlbumLister::ShowEnd(const AlbumListing& listing) {
    page_->EndListing();
    page_->SetListing(false);
    const std::string line = ListingEndLine(listing);
    if (line.empty()) return;  // stopped
    if (listing.problem != ListingProblem::kNone) page_->ShowUser({});  // whoever the page was, no user
    page_->ShowStatus(QString::fromStdString(line));
    if (listing.problem != ListingProblem::kNone) log_->LogNow(line);
    message_(QString::fromUtf8("温馨提示"), QString::fromStdString(line));
}

}  // namespace wa
