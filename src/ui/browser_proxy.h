// The embedded browser goes through the proxy of the setting 代理 as the
// program's own requests do: an http or socks proxy, with its user and
// password. It cannot speak to an https proxy; such a proxy is not used by
// the browser, and the user is told, rather than sending its traffic to that
// proxy in plain http.
#pragma once

#include <QString>

#include <string>

class QAuthenticator;

namespace wa {

struct BrowserProxy {
    QString user;
    QString password;
    QString refused;  // why the setting's proxy is not the browser's, for the user
};

// Applies `proxy` (empty: the system's, "direct": none) to the browser before
// it starts; the user and password it carries, for the proxy's questions.
BrowserProxy UseProxyInBrowser(const std::string& proxy);

// The browser's proxy asks for a login: answered once with the setting's
// user and password.
void AnswerProxyLogin(QAuthenticator* authenticator);

}  // namespace wa
