#include "ui/browser_page.h"

#include <QAuthenticator>
#include <QSslCertificate>
#include <QWebEngineCertificateError>

#include <algorithm>

#include "ui/browser_proxy.h"
#include "net/certificate_trust.h"
#include "net/http_text.h"
#include "weibo/weibo_service.h"

namespace wa {
namespace {

// A certificate the browser does not know is accepted only for the web site
// and the photo service, and only when the "证书" authorities vouch for it.
bool TrustedByServiceAuthorities(const QWebEngineCertificateError& error) {
    const ServiceAddresses service = CurrentService();
    if (service.ca_file.empty()) return false;
    const std::string host = error.url().host().toStdString();
    const std::vector<std::string> hosts = ServiceHosts(service);
    if (std::find(hosts.begin(), hosts.end(), host) == hosts.end()) return false;
    std::vector<std::string> chain;
    for (const QSslCertificate& certificate : error.certificateChain()) chain.push_back(certificate.toPem().toStdString());
    return ChainVerifiesAgainst(chain, service.ca_file, host);
}

}  // namespace

BrowserPage::BrowserPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {
    connect(this, &QWebEnginePage::certificateError, this, [](const QWebEngineCertificateError& error) {
        QWebEngineCertificateError decision = error;
        if (TrustedByServiceAuthorities(error)) {
            decision.acceptCertificate();
        } else {
            decision.rejectCertificate();
        }
    });
    connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
            [](const QUrl&, QAuthenticator* authenticator, const QString&) { AnswerProxyLogin(authenticator); });
}

bool BrowserPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool) {
    emit beforeNavigate(url);
    return true;
}

QWebEnginePage* BrowserPage::createWindow(WebWindowType) {
    emit newWindowRequested();
    return nullptr;  // no second window ever opens
}

}  // namespace wa
