#include "app/Application.h"

#include "engine/TextDigest.h"
#include "ui/SecretClipboard.h"
#include "platform/SingleInstance.h"
#include "resources/StringTable.h"
#include "app/AutoLock.h"
#include "app/MainDlg.h"
#include "ui/DialogBuilder.h"
#include "ui/MessageBox.h"
#include "store/ValdorixTokenDB.h"

#include <QApplication>
#include <QDBusConnection>
#include <QSocketNotifier>
#include <QTimer>
#include <fontconfig/fontconfig.h>
#include <memory>
#include <thread>

void initialiseModule() {
    installDialogFonts();
    setStringLookup([](int id) { return std::u16string(resources::loadString(id)); });
}

int runValdorix(int argc, char** argv) {
    // Reading the font configuration is the dearest step of a start (dozens of XML files); it
    // runs beside the application's own set-up and is waited for before the first font is
    // measured. The toolkit's font database then finds it loaded.
    std::jthread fontConfiguration([] { FcInit(); });
    QApplication application(argc, argv);
    // The run loop ends only through the main window's own commands, with their exit codes.
    QApplication::setQuitOnLastWindowClosed(false);
    initialiseModule();

    // The one store of the process: made before the main window, gone after it.
    CValdorixTokenDB store;

    // Two copies on one database would each save their own stale list over the other's.
    platform::SingleInstance instance(store.databasePath({}));
    if (!instance.isPrimary()) {
        if (!instance.askPrimaryToShow(3000))
            MessageBox::show(nullptr, resources::ids::IDS_ALREADY_RUNNING, MessageBox::Information);
        return 0;
    }

    int exitCode = 0;
    fontConfiguration.join();
    {
        CMainDlg mainDlg(store);
        if (!mainDlg.Create())
            return 0;
        // A second start asks this window to come to the front.
        std::unique_ptr<QSocketNotifier> requests;
        if (instance.requestSocket() >= 0) {
            requests = std::make_unique<QSocketNotifier>(instance.requestSocket(), QSocketNotifier::Read);
            QObject::connect(requests.get(), &QSocketNotifier::activated, &mainDlg, [&] {
                if (!instance.takeRequest())
                    return;
                mainDlg.showNormal();
                mainDlg.raise();
                mainDlg.activateWindow();
                instance.answerRequest();
            });
        }
        CAutoLock autoLock;
        QObject::connect(&autoLock, &CAutoLock::lockRequested, &mainDlg, &CMainDlg::lock);
        mainDlg.show();
        // Each bus costs a connection and a thread, and the sleep watch a name look-up on the
        // system bus: once the first page has been painted, not before it. The program starts
        // locked, so nothing is lost meanwhile.
        QTimer::singleShot(250, &autoLock, [&autoLock] {
            autoLock.watchScreenLocker(QDBusConnection::sessionBus());
            autoLock.watchSleep(QDBusConnection::systemBus());
        });
        exitCode = QApplication::exec();
    }
    // Clipboard managers take over the clipboard of a program that ends: not with a code in it.
    CCodeClipboard::clearNow();
    return exitCode;
}
