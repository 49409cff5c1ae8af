#include "ui/login_page.h"

#include <QLabel>

#include <algorithm>
#include <QLineEdit>
#include <QPushButton>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "settings/program.h"
#include "ui/browser_cookie_bridge.h"
#include "ui/browser_page.h"
#include "ui/elided_label.h"
#include "ui/widget_factory.h"
#include "net/cookie_jar.h"
#include "weibo/weibo_service.h"

namespace wa {
namespace {

constexpr int kBrowserHeight = 437;
// Where the design places the address row.
constexpr int kAddressWidth = 440;
constexpr int kDownloadUserLeft = 496;
constexpr int kHintWidth = 848;

}  // namespace

LoginPage::LoginPage(const Globals& globals, QWidget* parent) : QWidget(parent) {
    label_home_address_ = Make<QLabel>(this, "标签_首页网址", 8, 42, 40, 32, QString::fromUtf8("网址："));
    edit_url_ = Make<QLineEdit>(this, "编辑框_url", 52, 45, kAddressWidth, 30);
    edit_url_->setText(QString::fromStdString(CurrentService().home_page));
    button_download_user_ = Make<QPushButton>(this, "按钮_下载此用户", kDownloadUserLeft, 43, 80, 32, QString::fromUtf8("下载此用户"));
    button_open_ = Make<QPushButton>(this, "按钮_打开", 599, 44, 69, 32, QString::fromUtf8("打开网页"));
    button_album_page_ = Make<QPushButton>(this, "按钮_专辑页面", 684, 43, 96, 32, QString::fromUtf8("[查看用户专辑]"));
    button_album_page_->hide();
    label_browser_hint_ = Make<ElidedLabel>(
        this, "标签12", 12, 75, kHintWidth, 32,
        QString::fromUtf8("温馨提示：如果网页无法显示，点击右侧的打开按钮，还是不行请检查网络或代理设置是否正常。再点打开！\n"));
    browser_ = Make<QWebEngineView>(this, "超文本浏览框1", 12, 107, 896, 437);
    browser_profile_ = new QWebEngineProfile(QStringLiteral("weibo-albums"), this);
    if (!globals.files.browser_folder.empty()) {
        const QString storage = QString::fromStdString(globals.files.browser_folder);
        browser_profile_->setPersistentStoragePath(storage);
        browser_profile_->setCachePath(storage + "/cache");
    }
    browser_profile_->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    cookie_bridge_ = new BrowserCookieBridge(browser_profile_, CookieJar::Shared(), this);
    browser_page_ = new BrowserPage(browser_profile_, browser_);
    browser_->setPage(browser_page_);
    edit_url_->resize(624, edit_url_->height());

    connect(browser_page_, &BrowserPage::beforeNavigate, this, [this](const QUrl& url) { OnBrowserBeforeNavigate(url); });
    connect(browser_page_, &QWebEnginePage::loadFinished, this, [this] { OnBrowserLoadFinished(); });
    // The link under the pointer, or none once it left every link.
    connect(browser_page_, &QWebEnginePage::linkHovered, this, [this](const QString& link) { status_text_ = link; });
    connect(browser_page_, &BrowserPage::newWindowRequested, this, [this] { OnBrowserNewWindow(); });
    connect(button_open_, &QPushButton::clicked, this, [this] { browser_->setUrl(QUrl(edit_url_->text())); });
    connect(edit_url_, &QLineEdit::returnPressed, button_open_, &QPushButton::click);
    connect(button_download_user_, &QPushButton::clicked, this, [this] { emit downloadUserRequested(edit_url_->text()); });
    connect(button_album_page_, &QPushButton::clicked, this, [this] { emit albumPageRequested(edit_url_->text()); });
}

LoginPage::~LoginPage() {
    delete browser_;
    browser_ = nullptr;
    delete browser_profile_;
}

void LoginPage::Open(const QUrl& url) { browser_->setUrl(url); }

void LoginPage::ShowAlbumPageButton() { button_album_page_->show(); }

void LoginPage::OpenHomePage() { browser_->setUrl(QUrl(QString::fromStdString(CurrentService().home_page))); }

void LoginPage::LayOut(int width, int extra_height) {
    const auto set_left = [](QWidget* widget, int value) { widget->move(value, widget->y()); };
    browser_->resize(width - 20, kBrowserHeight + extra_height);
    set_left(button_album_page_, width - button_album_page_->width() - 20);
    set_left(button_open_, width - button_album_page_->width() - button_open_->width() - 40);
    // Narrower than the design, the address box gives up what the row lacks.
    set_left(button_download_user_, std::min(kDownloadUserLeft, button_open_->x() - button_download_user_->width() - 12));
    edit_url_->resize(std::min(kAddressWidth, button_download_user_->x() - 4 - edit_url_->x()), edit_url_->height());
    label_browser_hint_->resize(std::min(kHintWidth, button_open_->x() - 4 - label_browser_hint_->x()),
                                label_browser_hint_->height());
}

void LoginPage::OnBrowserBeforeNavigate(const QUrl& url) {
    if (url.toString() != "about:blank") edit_url_->setText(url.toString());
}

void LoginPage::OnBrowserLoadFinished() {
    const QString address = browser_->url().toString();
    if (address != "about:blank") edit_url_->setText(address);
}

void LoginPage::OnBrowserNewWindow() {
    // The link the user clicked opens here; no second window, and nothing
    // when no link is under the pointer.
    if (!status_text_.isEmpty()) browser_->setUrl(QUrl(status_text_));
}

}  // namespace wa
