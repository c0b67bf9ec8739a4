#pragma once

#include "platform/Folders.h"
#include "app/Application.h"
#include "app/MainDlg.h"
#include "ui/MessageBox.h"
#include "ui/PageImpl.h"
#include "app/PageSet.h"
#include "store/ValdorixTokenDB.h"
#include "tests/QtTestApplication.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace shelltest {

namespace fs = std::filesystem;

// Processes events until `condition` holds or five seconds pass (QTRY_* report to QTest, not to
// GoogleTest).
template <class Condition>
bool waitFor(Condition condition) {
    return QTest::qWaitFor(condition, 5000);
}

// A page that records what the navigator does to it.
class FakePage : public CPage {
public:
    explicit FakePage(unsigned id) : m_id(id) {}
    ~FakePage() override { delete m_window; }

    bool PreTranslateMessage(QObject*, QEvent*) override { return false; }
    unsigned GetID() const override { return m_id; }
    QWidget* GetHWND() const override { return m_window; }
    QWidget* Create(QWidget* parent, const QRect&) override {
        if (!m_window) {
            m_window = new QWidget(parent);
            m_window->resize(391, 191);
        }
        return m_window;
    }
    void SetNavigator(CPageNavigator* navigator) override { this->navigator = navigator; }
    void OnShow(const PageArgs& args) override {
        events.append(QStringLiteral("show"));
        lastArgs = args;
    }
    void OnHide() override { events.append(QStringLiteral("hide")); }
    void UpdateNavigationBar() override {}

    CPageNavigator* navigator = nullptr;
    QStringList events;
    PageArgs lastArgs;

private:
    unsigned m_id;
    QWidget* m_window = nullptr;
};

// Every test: its own data folder and machine, a fresh store, message boxes answered OK.
class ShellFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApplication();
        ASSERT_TRUE(m_dataHome.isValid());
        m_savedDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", m_dataHome.path().toUtf8());
        platform::setMachineIdForTesting(std::string("shell-test-machine"));
        m_store = std::make_unique<CValdorixTokenDB>();
        MessageBox::setAnswerForAll(MessageBox::IDOK);
        MessageBox::clearAnswered();
    }

    void TearDown() override {
        m_window.reset();
        m_store.reset();
        MessageBox::setAnswerForAll(std::nullopt);
        MessageBox::clearAnswered();
        platform::setMachineIdForTesting(std::nullopt);
        qputenv("XDG_DATA_HOME", m_savedDataHome);
    }

    fs::path productFolder() const { return fs::path(m_dataHome.path().toStdString()) / "Valdorix"; }
    fs::path databaseFile() const { return productFolder() / "Valdorix4.db"; }
    CValdorixTokenDB& store() { return *m_store; }

    // A database with `pin` on disk, written through a store of its own, as an earlier run would.
    void createDatabase(std::u16string_view pin, int tokenCount = 0) {
        CValdorixTokenDB earlier;
        CValdorixTokenDB& db = earlier;
        db.markUnlocked();
        for (int i = 0; i < tokenCount; ++i) {
            auto token = std::make_shared<COtpToken>();
            token->label = u"Token " + QString::number(i).toStdU16String();
            token->serial = u"S" + QString::number(i).toStdU16String();
            db.tokens.push_back(token);
        }
        ASSERT_TRUE(db.changePin(u"", pin));
    }

    // The main window as the process makes it; `extra` pages join the real page set.
    CMainDlg& openMainWindow(std::vector<unsigned> extraPages = {}) {
        m_window = std::make_unique<CMainDlg>(store());
        m_window->Create([&] {
            auto pages = createPageSet();
            for (unsigned id : extraPages) {
                auto fake = std::make_shared<FakePage>(id);
                m_fakes.push_back(fake);
                pages.push_back(fake);
            }
            return pages;
        });
        m_window->show();
        return *m_window;
    }

    // The store unlocked with one event token in it, so pages show what they show in use.
    void unlockWithAToken() {
        store().markUnlocked();
        auto token = std::make_shared<COtpToken>();
        token->label = u"Mail account";
        token->serial = u"VX0012345";
        store().tokens.push_back(token);
    }

    template <class T>
    T* currentPage() {
        return dynamic_cast<T*>(m_window->findPage(m_window->GetCurrentPageId()));
    }

    static QLineEdit* edit(CPage* page, int id) {
        return qobject_cast<QLineEdit*>(dlgItem(page->GetHWND(), id));
    }
    static QWidget* control(CPage* page, int id) { return dlgItem(page->GetHWND(), id); }

    // Replaces the text of an edit box the way typing does.
    static void type(QLineEdit* box, const QString& text) {
        box->clear();
        QTest::keyClicks(box, text);
    }

    // Declared first: the window and its pages use the store until they are gone.
    std::unique_ptr<CValdorixTokenDB> m_store;
    std::unique_ptr<CMainDlg> m_window;
    std::vector<std::shared_ptr<FakePage>> m_fakes;

private:
    QTemporaryDir m_dataHome;
    QByteArray m_savedDataHome;
};

} // namespace shelltest
