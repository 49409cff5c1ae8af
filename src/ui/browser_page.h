// The login page's web page: reports every navigation before it happens
// (frames included) and turns a page's request for a new window into a
// navigation of the embedded browser itself.
#pragma once

#include <QWebEnginePage>

namespace wa {

class BrowserPage : public QWebEnginePage {
    Q_OBJECT

public:
    using QWebEnginePage::QWebEnginePage;

signals:
    void beforeNavigate(const QUrl& url);
    void newWindowRequested();

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool is_main_frame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
};

}  // namespace wa
