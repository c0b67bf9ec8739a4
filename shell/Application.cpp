#include "shell/Application.h"

#include "engine/TextDigest.h"
#include "resources/StringTable.h"
#include "shell/DialogBuilder.h"
#include "shell/MainDlg.h"
#include "shell/TokenStore.h"

#include <QApplication>

void initialiseModule() {
    installDialogFonts();
    setStringLookup([](int id) { return std::u16string(resources::loadString(id)); });
}

int runValdorix(int argc, char** argv) {
    QApplication application(argc, argv);
    // The run loop ends only through the main window's own commands, with their exit codes.
    QApplication::setQuitOnLastWindowClosed(false);
    initialiseModule();

    // The one store of the process: made before the main window, gone after it.
    TokenStoreScope store;
    int exitCode = 0;
    {
        CMainDlg mainDlg;
        if (!mainDlg.Create())
            return 0;
        mainDlg.show();
        exitCode = QApplication::exec();
    }
    return exitCode;
}
