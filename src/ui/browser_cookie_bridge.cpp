#include "ui/browser_cookie_bridge.h"

#include <QDateTime>
#include <QNetworkCookie>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include <mutex>

#include "login/browser_cookie_db.h"
#include "net/cookie_jar.h"

namespace wa {

struct BrowserCookieBridge::Guard {
    std::mutex mutex;
    BrowserCookieBridge* target = nullptr;
};

namespace {

Cookie FromBrowser(const QNetworkCookie& c) {
    Cookie cookie;
    cookie.domain = c.domain().toStdString();
    cookie.include_subdomains = cookie.domain.starts_with('.');
    cookie.path = c.path().isEmpty() ? "/" : c.path().toStdString();
    cookie.secure = c.isSecure();
    cookie.http_only = c.isHttpOnly();
    cookie.expires = c.isSessionCookie() ? 0 : c.expirationDate().toSecsSinceEpoch();
    cookie.name = c.name().toStdString();
    cookie.value = c.value().toStdString();
    return cookie;
}

}  // namespace

BrowserCookieBridge::BrowserCookieBridge(QWebEngineProfile* profile, CookieJar& jar, QObject* parent)
    : QObject(parent), profile_(profile), jar_(jar), guard_(std::make_shared<Guard>()) {
    guard_->target = this;
    const std::string database = profile->persistentStoragePath().toStdString() + "/Cookies";
    for (const Cookie& cookie : ReadBrowserCookies(database)) jar_.SetCookie(cookie);

    QWebEngineCookieStore* store = profile->cookieStore();
    connect(store, &QWebEngineCookieStore::cookieAdded, this, &BrowserCookieBridge::OnBrowserCookieAdded);
    connect(store, &QWebEngineCookieStore::cookieRemoved, this, &BrowserCookieBridge::OnBrowserCookieRemoved);
    // Responses arrive on worker threads; the browser is told on this one.
    listener_ = jar_.AddListener([guard = guard_](const std::string& url, const std::string& set_cookie) {
        std::lock_guard lock(guard->mutex);
        if (!guard->target) return;
        QMetaObject::invokeMethod(
            guard->target,
            [target = guard->target, url = QString::fromStdString(url), value = QByteArray::fromStdString(set_cookie)] {
                target->OnResponseCookie(url, value);
            },
            Qt::QueuedConnection);
    });
}

BrowserCookieBridge::~BrowserCookieBridge() {
    jar_.RemoveListener(listener_);
    std::lock_guard lock(guard_->mutex);
    guard_->target = nullptr;
}

void BrowserCookieBridge::OnBrowserCookieAdded(const QNetworkCookie& cookie) {
    // libcurl drops a cookie without a domain; the browser always names one.
    if (!cookie.domain().isEmpty()) jar_.SetCookie(FromBrowser(cookie));
}

void BrowserCookieBridge::OnBrowserCookieRemoved(const QNetworkCookie& cookie) {
    jar_.RemoveCookie(cookie.domain().toStdString(), cookie.path().isEmpty() ? "/" : cookie.path().toStdString(),
                      cookie.name().toStdString());
}

void BrowserCookieBridge::OnResponseCookie(const QString& url, const QByteArray& set_cookie) {
    // The jar holds it already; the browser's answer (cookieAdded) only
    // replaces it with the same cookie, so nothing goes round twice.
    for (const QNetworkCookie& cookie : QNetworkCookie::parseCookies(set_cookie)) {
        profile_->cookieStore()->setCookie(cookie, QUrl(url));
    }
}

}  // namespace wa
