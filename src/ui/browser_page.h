// The login page's web page: reports every navigation before it happens
// (frames included), turns a page's request for a new window into a
// navigation of the embedded browser itself, and trusts the service's hosts
// when the settings file names the authority that signed their certificate.
#pragma once

#include <QWebEnginePage>

namespace wa {

class BrowserPage : public QWebEnginePage {
    Q_OBJECT

public:
    BrowserPage(QWebEngineProfile* profile, QObject* parent);

signals:
    void beforeNavigate(const QUrl& url);
    void newWindowRequested();

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool is_main_frame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
};

}  // namespace wa
