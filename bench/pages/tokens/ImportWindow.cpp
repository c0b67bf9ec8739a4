// How long the window stops answering while a CSV file is imported, and how long the import takes.
//   measure_import_window FILE.csv
// The real main window on the current platform, an open store with a PIN, the import page; a
// timer ticking every 10 ms stands for the window's answers, and the longest gap between two ticks
// is the longest time the window did not answer. Run it under `/usr/bin/time -f "%e s %M KiB"` for
// the peak memory. Prints: tokens, seconds to the end of the import, longest gap in seconds, and
// the first line of the message the import ended with.
#include "app/Application.h"
#include "app/MainDlg.h"
#include "app/PageSet.h"
#include "pages/tokens/ImportPage.h"
#include "platform/Folders.h"
#include "ui/DialogBuilder.h"
#include "ui/MessageBox.h"
#include "store/ValdorixTokenDB.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: measure_import_window FILE.csv\n");
        return 2;
    }
    char pattern[] = "/tmp/valdorix-import-window-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    ::setenv("XDG_DATA_HOME", pattern, 1);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    initialiseModule();
    platform::setMachineIdForTesting(std::string("measure-machine"));
    MessageBox::setAnswerForAll(MessageBox::IDOK);

    CValdorixTokenDB store;
    store.markUnlocked();
    if (!store.changePin(u"", u"2468"))
        return 1;
    const std::size_t before = store.tokens.size();
    auto window = std::make_unique<CMainDlg>(store);
    window->Create();
    window->show();
    window->Navigate(pageid::Import);
    auto* page = dynamic_cast<CImportPage*>(window->findPage(pageid::Import));
    auto* path = qobject_cast<QLineEdit*>(dlgItem(page->GetHWND(), CImportPage::IDC_PATH));
    path->setText(QString::fromLocal8Bit(argv[1]));

    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
        // Every import ends in a message box: the summary or why nothing was imported.
        if (!MessageBox::answered().isEmpty())
            app.quit();
    });
    QTimer::singleShot(100, [&] {
        clock.start();
        ticker.start(10);
        page->onCommand(CImportPage::IDC_IMPORT, 0);
    });
    app.exec();
    std::printf("%zu tokens, import %.2f s, longest gap %.2f s\n%s\n", store.tokens.size() - before,
                clock.elapsed() / 1000.0, longestGap / 1000.0,
                MessageBox::answered().value(0).text.section(u'\n', 0, 0).toStdString().c_str());
    window.reset();
    std::error_code ignored;
    std::filesystem::remove_all(pattern, ignored);
    return 0;
}
