// Finding the user a typed address names and listing the user's albums into
// the album page, on a worker that never waits for the window: what it finds
// is posted to the window thread, and a newer listing supersedes an older
// one, which then writes nothing more.
#pragma once

#include <QObject>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "weibo/user_resolution.h"

namespace wa {

class AlbumPage;
class Pacer;
class RunPresenter;
class TaskRunner;
struct AlbumListing;

class AlbumLister : public QObject {
    Q_OBJECT

public:
    using Message = std::function<void(const QString& caption, const QString& text)>;
    // `data_folder` holds the record stores, which remember a door found
    // closed; the listing's requests take their turns from `pacer`.
    AlbumLister(AlbumPage* page, RunPresenter* log, TaskRunner& tasks, std::string data_folder, Pacer& pacer,
                Message message, QObject* parent);

    // Lists the albums of `address` through the door of `door` ("" for 自动),
    // with their covers when `covers`.
    void List(const std::string& address, const std::string& door, bool covers);
    // The listing going on ends here, saying so; what it found so far stays.
    void Cancel();
    // Finds the user of `address` on a worker, for albumPageFound.
    void FindAlbumPage(const std::string& address);

    // The user whose rows the page shows.
    const ResolvedUser& listed_user() const { return listed_; }

signals:
    // A listing found its user: the rows about to be listed are this user's.
    void userFound(const QString& uid);
    // The album page of the user FindAlbumPage was asked for.
    void albumPageFound(const QUrl& page);

private:
    void Work(JobToken* job, int generation, const std::string& address, const std::string& door, bool covers);
    // Runs `call` on the window thread, unless a newer listing has begun by then.
    void Post(int generation, std::function<void()> call);
    bool Current(int generation) const { return generation == generation_; }
    void ShowEnd(const AlbumListing& listing);

    AlbumPage* page_;
    RunPresenter* log_;
    TaskRunner& tasks_;
    std::string data_folder_;
    Pacer& pacer_;
    Message message_;
    std::atomic<int> generation_ = 0;
    std::shared_ptr<JobToken> listing_;  // the listing going on
    ResolvedUser listed_;
};

}  // namespace wa
