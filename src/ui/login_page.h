// The login page: the embedded browser on a named, persistent profile, the
// address box that follows it, and the buttons that take its user over to the
// album page.
#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QUrl;
class QWebEngineProfile;
class QWebEngineView;

namespace wa {

class BrowserCookieBridge;
class BrowserPage;
struct Globals;

class LoginPage : public QWidget {
    Q_OBJECT

public:
    LoginPage(const Globals& globals, QWidget* parent);
    ~LoginPage() override;  // the page goes before its profile, which then writes its cookies out

    // Opens the site's home page, where the user logs in.
    void OpenHomePage();
    // Opens `url` in the embedded browser.
    void Open(const QUrl& url);
    void ShowAlbumPageButton();
    // Widths follow the tab control's width; the browser grows by what the
    // window is taller than its design.
    void LayOut(int width, int extra_height);

signals:
    void downloadUserRequested(const QString& address);  // 下载此用户, for the address the box shows
    void albumPageRequested(const QString& address);     // [查看用户专辑]

private:
    void OnBrowserBeforeNavigate(const QUrl& url);
    void OnBrowserLoadFinished();
    void OnBrowserNewWindow();

    QLabel* label_home_address_ = nullptr;         // 标签_首页网址
    QLineEdit* edit_url_ = nullptr;                // 编辑框_url
    QPushButton* button_download_user_ = nullptr;  // 按钮_下载此用户
    QPushButton* button_open_ = nullptr;           // 按钮_打开
    QPushButton* button_album_page_ = nullptr;     // 按钮_专辑页面
    QLabel* label_browser_hint_ = nullptr;         // 标签12
    QWebEngineView* browser_ = nullptr;            // 超文本浏览框1
    BrowserPage* browser_page_ = nullptr;
    QWebEngineProfile* browser_profile_ = nullptr;  // named and kept on disk: a login survives restarts
    BrowserCookieBridge* cookie_bridge_ = nullptr;
    QString status_text_;  // the link last under the mouse in the browser
};

}  // namespace wa
