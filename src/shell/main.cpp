// The desktop program's entry: the skin, the service addresses and the
// window, then the event loop until the window closes.
#include <unistd.h>

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "shell/file_locations.h"
#include "shell/globals.h"
#include "shell/saved_options.h"
#include "shell/skin.h"
#include "ui/browser_proxy.h"
#include "ui/main_window.h"
#include "util/folders.h"
#include "net/curl_transfer.h"
#include "weibo/service_request.h"
#include "weibo/weibo_service.h"

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
    // The program speaks Chinese, and so do Qt's own dialogs and the embedded
    // browser's menus, with dates written the Chinese way, whatever language
    // the desktop speaks.
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

    wa::Globals globals;
    globals.program_folder = wa::ProgramFolder();
    const wa::FileLocations where = wa::LocateFiles(globals.program_folder);
    globals.config_path = where.config_path;
    globals.config_folder = where.config_folder;
    globals.data_folder = where.data_folder;
    globals.default_save_folder = where.default_save_folder;
    wa::MoveEarlierBrowserProfile(where);
    globals.browser_storage = where.browser_folder;
    wa::ApplySkin(app, QString::fromStdString(globals.config_folder), 13);
    wa::SetCurrentService(wa::ServiceAddresses::FromSettings(globals.config_path));
    const wa::SavedOptions options = wa::ReadSavedOptions(globals.config_path, globals.default_save_folder);
    wa::SetRequestSpacing(std::chrono::milliseconds(options.request_spacing_ms));
    // The embedded browser and the program's own requests go through the same proxy (代理).
    wa::SetProxySetting(options.proxy);
    const wa::BrowserProxy browser_proxy = wa::UseProxyInBrowser(options.proxy);
    if (!browser_proxy.refused.isEmpty()) globals.notices.push_back(browser_proxy.refused.toStdString());

    wa::MainWindow window(globals);
    window.show();
    return app.exec();
}
