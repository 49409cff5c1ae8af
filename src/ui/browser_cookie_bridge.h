// Makes the embedded browser's cookie store and the program's cookie jar one
// store: cookies the browser gets (a login) reach every page request, and
// cookies page requests get reach the browser.
#pragma once

#include <QObject>

#include <memory>

class QNetworkCookie;
class QWebEngineProfile;

namespace wa {

class CookieJar;

class BrowserCookieBridge : public QObject {
    Q_OBJECT

public:
    // Fills `jar` from the profile's cookie database first: cookies the
    // browser restores from disk raise no event of their own.
    BrowserCookieBridge(QWebEngineProfile* profile, CookieJar& jar, QObject* parent = nullptr);
    ~BrowserCookieBridge() override;

private:
    void OnBrowserCookieAdded(const QNetworkCookie& cookie);
    void OnBrowserCookieRemoved(const QNetworkCookie& cookie);
    void OnResponseCookie(const QString& url, const QByteArray& set_cookie);

    QWebEngineProfile* profile_;
    CookieJar& jar_;
    int listener_ = 0;
    struct Guard;
    std::shared_ptr<Guard> guard_;  // lets worker threads reach this object safely
};

}  // namespace wa
