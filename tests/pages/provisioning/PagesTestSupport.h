#pragma once

#include "tests/provisioning/ServerSuite.h"
#include "ui/PngButton.h"
#include "engine/OtpToken.h"
#include "platform/Folders.h"
#include "pages/provisioning/ActivatePage.h"
#include "pages/provisioning/DownloadPage.h"
#include "pages/provisioning/ProgressPage.h"
#include "pages/provisioning/SynchronisePage.h"
#include "pages/provisioning/TokenPackActivatePage.h"
#include "platform/WorkerGroup.h"
#include "app/Application.h"
#include "app/MainDlg.h"
#include "ui/MessageBox.h"
#include "store/ValdorixTokenDB.h"
#include "tests/QtTestApplication.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace pagestest {

namespace fs = std::filesystem;

inline constexpr std::u16string_view kPin = u"2468";

// Processes events until `condition` holds; generous, for loaded machines and sanitizers.
template <class Condition>
bool waitFor(Condition condition, int milliseconds = 30000) {
    return QTest::qWaitFor(condition, milliseconds);
}

inline std::u16string u16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

inline QString q(const std::string& ascii) {
    return QString::fromStdString(ascii);
}

// Every test: its own data and configuration folders and machine, a fresh store, message boxes
// answered OK, and the local provisioning server (one per test suite) with no behaviour set.
class PagesFixture : public ServerSuite {
protected:
    void SetUp() override {
        ServerSuite::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ensureApplication();
        ASSERT_TRUE(m_folder.isValid());
        m_dataHome = std::make_unique<ScopedEnvironment>("XDG_DATA_HOME", m_folder.path().toStdString());
        m_configDirs = std::make_unique<ScopedEnvironment>("XDG_CONFIG_DIRS", m_folder.path().toStdString());
        platform::setMachineIdForTesting(std::string("provisioning-pages-test"));
        m_store = std::make_unique<CValdorixTokenDB>();
        MessageBox::setAnswerForAll(MessageBox::IDOK);
        MessageBox::clearAnswered();
    }

    void TearDown() override {
        m_window.reset();
        m_store.reset();
        WorkerGroup::failNextStartsForTesting(0);
        MessageBox::setAnswerForAll(std::nullopt);
        MessageBox::clearAnswered();
        platform::setMachineIdForTesting(std::nullopt);
        m_configDirs.reset();
        m_dataHome.reset();
    }

    CValdorixTokenDB& store() { return *m_store; }
    fs::path productFolder() const { return fs::path(m_folder.path().toStdString()) / "Valdorix"; }

    // An unlocked store whose (empty) database is on disk, as after the first PIN.
    void createDatabase() {
        store().markUnlocked();
        ASSERT_TRUE(store().changePin(u"", kPin));
    }

    // The tokens of the database file, read by a store of its own.
    std::vector<std::shared_ptr<COtpToken>> tokensOnDisk() const {
        CValdorixTokenDB db;
        db.setPin(kPin);
        if (!db.load())
            return {};
        return db.tokens;
    }

    // The main window with the real page set, as the process makes it.
    CMainDlg& openMainWindow() {
        m_window = std::make_unique<CMainDlg>(store());
        EXPECT_TRUE(m_window->Create());
        m_window->show();
        return *m_window;
    }

    template <class T>
    T* page(unsigned id) {
        return dynamic_cast<T*>(m_window->findPage(id));
    }
    CProgressPage* progress() { return page<CProgressPage>(pageid::Progress); }
    unsigned current() const { return m_window->GetCurrentPageId(); }

    static QWidget* control(CPage* page, int id) { return dlgItem(page->GetHWND(), id); }
    static QLineEdit* edit(CPage* page, int id) { return qobject_cast<QLineEdit*>(control(page, id)); }
    static QLabel* label(CPage* page, int id) { return qobject_cast<QLabel*>(control(page, id)); }
    static CPngButton* button(CPage* page, int id) { return qobject_cast<CPngButton*>(control(page, id)); }

    // Replaces the text of an edit box the way typing does.
    static void type(QLineEdit* box, const QString& text) {
        box->clear();
        QTest::keyClicks(box, text);
    }

    static std::string url(const std::string& behaviour = "") {
        return behaviour.empty() ? server_->httpUrl : server_->httpUrlFor(behaviour);
    }

    // The progress page's lines, as the user sees them.
    bool showsError(const QString& text) {
        QLabel* line = label(progress(), CProgressPage::IDC_ERROR);
        return line->isVisibleTo(progress()) && line->text() == text;
    }
    bool showsInformation(const QString& text) {
        QLabel* line = label(progress(), CProgressPage::IDC_INFORMATION);
        return line->isVisibleTo(progress()) && line->text() == text;
    }
    bool busy() {
        CClipPlayer* clip = progress()->animation();
        return clip->isVisibleTo(progress()) && clip->isPlaying();
    }

    // Declared first: the window and its pages use the store until they are gone.
    std::unique_ptr<CValdorixTokenDB> m_store;
    std::unique_ptr<CMainDlg> m_window;

private:
    QTemporaryDir m_folder;
    std::unique_ptr<ScopedEnvironment> m_dataHome;
    std::unique_ptr<ScopedEnvironment> m_configDirs;
};

} // namespace pagestest
