// The desktop program's entry: where its files live, the skin, the service
// addresses, the request spacing and the proxy, then the window and the event
// loop until the window closes.
#include <unistd.h>

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "net/curl_transfer.h"
#include "settings/file_locations.h"
#include "settings/pace_memory.h"
#include "settings/program.h"
#include "settings/settings.h"
#include "ui/browser_proxy.h"
#include "ui/main_window.h"
#include "ui/skin.h"
#include "util/folders.h"
#include "weibo/service_request.h"
#include "weibo/weibo_service.h"

namespace {

// Chinese menus and dialogs, with dates written the Chinese way, whatever
// language the desktop speaks.
void SpeakChinese(QApplication& app) {
    const QLocale chinese = QLocale::system().language() == QLocale::Chinese ? QLocale::system()
                                                                              : QLocale(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    const QString translations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* catalog : {"qt", "qtwebengine"}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(chinese, catalog, "_", translations) || translator->load(QString(catalog) + "_zh_CN", translations)) {
            QApplication::installTranslator(translator);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    // The embedded browser refuses to start as root unless its sandbox is off.
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    // Qt's FFmpeg media backend is not dependable here; GStreamer plays mp3.
    if (!qEnvironmentVariableIsSet("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "gstreamer");
    QApplication app(argc, argv);
    QApplication::setApplicationName("weibo-albums");
    QApplication::setApplicationVersion(wa::kVersionText);
    // The program speaks Chinese, and so do Qt's own dialogs and the embedded browser's menus.
    SpeakChinese(app);

    wa::Globals globals;
    globals.program_folder = wa::ProgramFolder();
    globals.files = wa::LocateFiles(globals.program_folder);
    wa::MoveEarlierBrowserProfile(globals.files);
    wa::ApplySkin(app, QString::fromStdString(globals.files.config_folder), 13);
    const wa::Settings settings(globals.files.config_path);
    wa::SetCurrentService(settings.Addresses());
    globals.pacer->SetLeast(std::chrono::milliseconds(settings.Get(wa::kRequestSpacingKey)));
    wa::KeepPace(*globals.pacer, wa::PaceMemoryPath(globals.files.config_folder));
    // The embedded browser and the program's own requests go through the same proxy (代理).
    const std::string proxy = settings.Proxy();
    wa::SetProxySetting(proxy);
    const wa::BrowserProxy browser_proxy = wa::UseProxyInBrowser(proxy);
    if (!browser_proxy.refused.isEmpty()) globals.notices.push_back(browser_proxy.refused.toStdString());

    wa::MainWindow window(globals);
    window.show();
    return app.exec();
}
