#pragma once

#include "pages/otp/NumberPlate.h"
#include "pages/otp/OtpPage.h"
#include "pages/otp/TimerBar.h"
#include "platform/Clock.h"
#include "platform/Folders.h"
#include "platform/ServerClock.h"
#include "app/Application.h"
#include "app/MainDlg.h"
#include "ui/AppSettings.h"
#include "ui/MessageBox.h"
#include "store/ValdorixTokenDB.h"
#include "tests/QtTestApplication.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <string>

namespace otptest {

namespace fs = std::filesystem;

// The RFC 4226 / RFC 6238 SHA-1 test key.
inline const std::string kRfcKey = "12345678901234567890";

inline std::shared_ptr<COtpToken> makeToken(TokenKind kind, std::u16string name, std::u16string serial) {
    auto token = std::make_shared<COtpToken>();
    token->kind = kind;
    token->label = name;
    token->tokenName = name;
    token->serial = std::move(serial);
    token->setPrimaryKey(kRfcKey.data(), int(kRfcKey.size()));
    token->setSecondaryKey("another key", 11);
    return token;
}

inline QString folderInBuild(const QString& name) {
    const QByteArray binary = qgetenv("VALDORIX_BINARY_DIR");
    const QString folder = (binary.isEmpty() ? QDir::currentPath() : QString::fromUtf8(binary)) + u'/' + name;
    QDir().mkpath(folder);
    return folder;
}

// Every test: its own data folder, machine and clock, a fresh unlocked store with a PIN whose
// file is on disk, and the main window with the real page set.
class OtpFixture : public ::testing::Test {
protected:
    static constexpr std::u16string_view kPin = u"2468";

    void SetUp() override {
        ensureApplication();
        ASSERT_TRUE(m_dataHome.isValid());
        m_savedDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", m_dataHome.path().toUtf8());
        m_savedConfigHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", (m_dataHome.path() + QStringLiteral("/config")).toUtf8());
        AppSettings::reload();
        platform::setMachineIdForTesting(std::string("otp-test-machine"));
        platform::setClockForTesting([this] { return m_now; });
        platform::resetServerTimeForTesting();
        m_store = std::make_unique<CValdorixTokenDB>();
        MessageBox::setAnswerForAll(MessageBox::IDOK);
        store().markUnlocked();
        ASSERT_TRUE(store().changePin(u"", kPin));
        // The window reads the database when it opens: tokens added afterwards are the ones the
        // pages work on.
        openMainWindow();
    }

    void TearDown() override {
        m_window.reset();
        m_store.reset();
        MessageBox::setAnswerForAll(std::nullopt);
        MessageBox::clearAnswered();
        platform::setClockForTesting({});
        platform::setMachineIdForTesting(std::nullopt);
        qputenv("XDG_DATA_HOME", m_savedDataHome);
        qputenv("XDG_CONFIG_HOME", m_savedConfigHome);
        AppSettings::reload();
    }

    CValdorixTokenDB& store() { return *m_store; }

    std::shared_ptr<COtpToken> addToken(std::shared_ptr<COtpToken> token) {
        store().tokens.push_back(token);
        EXPECT_TRUE(store().save());
        return token;
    }

    fs::path databaseFile() const {
        return fs::path(m_dataHome.path().toStdString()) / "Valdorix" / "Valdorix4.db";
    }

    std::string fileBytes() const {
        std::ifstream in(databaseFile(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // The store as the next run would find it on disk.
    std::unique_ptr<CValdorixTokenDB> reloadStore() const {
        auto fresh = std::make_unique<CValdorixTokenDB>();
        fresh->setPin(kPin);
        EXPECT_TRUE(fresh->load());
        return fresh;
    }

    CMainDlg& openMainWindow() {
        m_window = std::make_unique<CMainDlg>(store());
        EXPECT_TRUE(m_window->Create());
        m_window->show();
        return *m_window;
    }

    // Shows page `id` through the main window and waits until it has slid into place.
    template <class T>
    T* showPage(unsigned id, const PageArgs& args = {}) {
        if (!m_window)
            openMainWindow();
        m_window->ShowPage(id, args);
        auto* page = dynamic_cast<T*>(m_window->findPage(id));
        EXPECT_NE(page, nullptr);
        if (page) {
            QWidget* hwnd = page->GetHWND();
            EXPECT_TRUE(QTest::qWaitFor([&] { return hwnd->pos() == QPoint(0, 0); }));
        }
        return page;
    }

    COtpPage* otpPage() { return showPage<COtpPage>(130); }

    // One second passes and the page's tick fires.
    void tick(COtpPage* page, int seconds = 1) {
        m_now += seconds;
        page->onTimer(COtpPage::TimerTick);
    }

    static QWidget* control(CPage* page, int id) { return dlgItem(page->GetHWND(), id); }
    static QLineEdit* edit(CPage* page, int id) { return qobject_cast<QLineEdit*>(control(page, id)); }

    std::int64_t m_now = 1111111090; // 10 seconds into a 30-second step
    // Declared first: the window and its pages use the store until they are gone.
    std::unique_ptr<CValdorixTokenDB> m_store;
    std::unique_ptr<CMainDlg> m_window;


private:
    QTemporaryDir m_dataHome;
    QByteArray m_savedDataHome;
    QByteArray m_savedConfigHome;
};

inline QString text(const std::u16string& s) {
    return QString::fromStdU16String(s);
}

} // namespace otptest
