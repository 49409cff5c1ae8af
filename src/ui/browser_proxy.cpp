#include "ui/browser_proxy.h"

#include <QAuthenticator>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QUrl>

namespace wa {
namespace {

BrowserProxy g_proxy;

}  // namespace

BrowserProxy UseProxyInBrowser(const std::string& proxy) {
    g_proxy = {};
    QNetworkProxyFactory::setUseSystemConfiguration(proxy.empty());
    if (proxy.empty()) return g_proxy;
    if (proxy == "direct") {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        return g_proxy;
    }
    const QUrl address = QUrl::fromUserInput(QString::fromStdString(proxy));
    const QString scheme = address.scheme().toLower();
    if (scheme == "https") {
        QNetworkProxyFactory::setUseSystemConfiguration(true);
        g_proxy.refused = QString::fromUtf8("内置浏览器不支持 https 代理（") + address.host() +
                          QString::fromUtf8("），它按系统的代理设置上网；程序自己的请求仍经过这个代理。");
        return g_proxy;
    }
    const bool socks = scheme.startsWith("socks");
    g_proxy.user = address.userName();
    g_proxy.password = address.password();
    QNetworkProxy::setApplicationProxy(QNetworkProxy(socks ? QNetworkProxy::Socks5Proxy : QNetworkProxy::HttpProxy,
                                                     address.host(), static_cast<quint16>(address.port(socks ? 1080 : 8080)),
                                                     g_proxy.user, g_proxy.password));
    return g_proxy;
}

void AnswerProxyLogin(QAuthenticator* authenticator) {
    // Asked again after this answer, the proxy has refused it: no loop of answers.
    if (g_proxy.user.isEmpty() || authenticator->user() == g_proxy.user) return;
    authenticator->setUser(g_proxy.user);
    authenticator->setPassword(g_proxy.password);
}

}  // namespace wa
