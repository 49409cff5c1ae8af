#include "ui/browser_page.h"

namespace wa {

bool BrowserPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool) {
    emit beforeNavigate(url);
    return true;
}

QWebEnginePage* BrowserPage::createWindow(WebWindowType) {
    emit newWindowRequested();
    return nullptr;  // no second window ever opens
}

}  // namespace wa
