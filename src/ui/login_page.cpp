// The login page: the embedded browser, the address box that follows it, and
// the buttons that take its user over to the download page.
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QWebEngineView>

#include "download/photo_list.h"
#include "ui/main_window.h"
#include "weibo/weibo_service.h"

namespace wa {

void MainWindow::HomePageThread() {
    browser->setUrl(QUrl(QString::fromStdString(CurrentService().home_page)));
}

void MainWindow::OnBrowserBeforeNavigate(const QUrl& url) {
    if (url.toString() != "about:blank") edit_url->setText(url.toString());
}

void MainWindow::OnBrowserDownloadComplete() {
    const QString address = browser->url().toString();
    if (address != "about:blank") edit_url->setText(address);
}

void MainWindow::OnBrowserNewWindow() {
    // The link the user clicked opens here; no second window.
    browser->setUrl(QUrl(status_text_));
}

void MainWindow::OnOpenPageClicked() { browser->setUrl(QUrl(edit_url->text())); }

void MainWindow::OnShowAlbumButtonClicked() { button_album_page->show(); }

void MainWindow::DownloadThisUser() {
    ShowPage(1);
    edit_home->setText(edit_url->text());
    ResolveUser();
}

void MainWindow::OnOpenAlbumPageClicked() {
    const std::string address = edit_url->text().toStdString();
    RunInBackground([this, address](JobToken* job) {
        const UserLookup found = ResolveUserPage(address, job);
        if (job->StopRequested()) return;
        OnWindowThread([this, uid = found.user.uid] {
            resolved_user_.uid = uid;  // the title stays as it was
            browser->setUrl(QUrl(QString::fromStdString(AlbumPageUrl(CurrentService(), uid))));
        });
    });
}

}  // namespace wa
