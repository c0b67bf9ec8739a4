#include "ShellTestSupport.h"
#include "ui/PngButton.h"
#include "engine/TextDigest.h"
#include "ui/SecretClipboard.h"
#include "resources/Menu.h"
#include "pages/info/AboutPage.h"
#include "pages/pin/ChangePinPage.h"
#include "pages/pin/LoginPage.h"
#include "ui/NavigationBar.h"

#include <QClipboard>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <cstring>
#include <thread>

using namespace shelltest;
using namespace resources::ids;

namespace {

// A main window over fake pages 1 to 4 and 130, for the mechanics of navigation alone.
class NavigationTest : public ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        m_window = std::make_unique<CMainDlg>(store());
        m_window->Create([this] {
            std::vector<std::shared_ptr<CPage>> pages;
            for (unsigned id : {1u, 2u, 3u, 4u, pageid::Otp}) {
                auto page = std::make_shared<FakePage>(id);
                m_fakes.push_back(page);
                pages.push_back(page);
            }
            return pages;
        });
    }
    FakePage& page(unsigned id) {
        for (auto& p : m_fakes)
            if (p->GetID() == id)
                return *p;
        throw std::out_of_range("no such page");
    }
    std::vector<unsigned> history() const { return m_window->history(); }
};

TEST_F(NavigationTest, NavigatingAfterBackCutsTheForwardPart) {
    // No page 230 in this set, so start-up showed nothing.
    EXPECT_TRUE(history().empty());
    EXPECT_EQ(m_window->GetCurrentPageId(), 0u);
    m_window->Navigate(1);
    m_window->Navigate(2);
    m_window->Navigate(3);
    m_window->GoBack();
    m_window->GoBack();
    EXPECT_EQ(m_window->GetCurrentPageId(), 1u);
    m_window->Navigate(4);
    EXPECT_EQ(history(), (std::vector<unsigned>{1, 4}));
    EXPECT_EQ(m_window->cursor(), 1);
}

TEST_F(NavigationTest, TheSamePageTwiceKeepsOneEntryButHidesAndShows) {
    m_window->Navigate(1);
    page(1).events.clear();
    m_window->Navigate(1);
    EXPECT_EQ(history(), (std::vector<unsigned>{1}));
    EXPECT_EQ(page(1).events, (QStringList{QStringLiteral("hide"), QStringLiteral("show")}));
}

TEST_F(NavigationTest, TheSamePageAgainStaysPutAndAnotherSlidesIn) {
    m_window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->Navigate(1);
    m_window->Navigate(2);
    ASSERT_TRUE(waitFor([&] { return page(2).GetHWND()->pos() == QPoint(0, 0); }));
    m_window->Navigate(2);
    EXPECT_EQ(page(2).GetHWND()->pos(), QPoint(0, 0));
    m_window->Navigate(3);
    EXPECT_LT(page(3).GetHWND()->pos().x(), 0); // on its way in
}

TEST_F(NavigationTest, ATapOnThePageDoesNotMoveTheWindow) {
    m_window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->Navigate(1);
    ASSERT_TRUE(waitFor([&] { return page(1).GetHWND()->pos() == QPoint(0, 0); }));
    QWidget* surface = page(1).GetHWND();
    const QPoint before = m_window->pos();
    const QPoint at(100, 100);
    QTest::mousePress(surface, Qt::LeftButton, {}, at);
    QTest::mouseMove(surface, at + QPoint(1, 0)); // a hand that trembles, less than a drag
    QTest::mouseRelease(surface, Qt::LeftButton, {}, at + QPoint(1, 0));
    QTest::mouseMove(surface, at + QPoint(30, 20));
    QCoreApplication::processEvents();
    EXPECT_EQ(m_window->pos(), before);
}

TEST_F(NavigationTest, BackAndForwardAtTheEndsDoNothing) {
    m_window->Navigate(1);
    m_window->Navigate(2);
    m_window->GoForward();
    EXPECT_EQ(m_window->cursor(), 1);
    EXPECT_FALSE(m_window->CanNavigate(1));
    m_window->GoBack();
    page(1).events.clear();
    m_window->GoBack();
    EXPECT_EQ(m_window->cursor(), 0);
    EXPECT_TRUE(page(1).events.isEmpty());
    EXPECT_FALSE(m_window->CanNavigate(0));
    EXPECT_TRUE(m_window->CanNavigate(2));
    EXPECT_FALSE(m_window->CanNavigate(3));
    EXPECT_EQ(history(), (std::vector<unsigned>{1, 2}));
}

TEST_F(NavigationTest, ReplayedPagesGetNoArguments) {
    m_window->ShowPage(1, {QStringLiteral("a"), QStringLiteral("b")});
    EXPECT_EQ(page(1).lastArgs, (PageArgs{QStringLiteral("a"), QStringLiteral("b")}));
    m_window->Navigate(2);
    m_window->GoBack();
    EXPECT_TRUE(page(1).lastArgs.isEmpty());
    m_window->GoForward();
    EXPECT_EQ(m_window->GetCurrentPageId(), 2u);
    EXPECT_EQ(history(), (std::vector<unsigned>{1, 2}));
}

TEST_F(NavigationTest, AnUnknownIdChangesNothing) {
    m_window->Navigate(1);
    page(1).events.clear();
    m_window->ShowPage(999, {QStringLiteral("x")});
    EXPECT_EQ(history(), (std::vector<unsigned>{1}));
    EXPECT_TRUE(page(1).events.isEmpty());
    EXPECT_EQ(m_window->GetCurrentPageId(), 1u);
}

TEST_F(NavigationTest, PostNavigateFromAThreadShowsThePageLater) {
    m_window->Navigate(1);
    std::thread worker([window = m_window.get()] {
        PageArgs args{QStringLiteral("DownloadToken"), QStringLiteral("https://x")};
        window->PostNavigate(3, args);
        // The list is the worker's own and goes at once.
    });
    worker.join();
    EXPECT_EQ(m_window->GetCurrentPageId(), 1u);
    EXPECT_TRUE(waitFor([&] { return m_window->GetCurrentPageId() == 3u; }));
    EXPECT_EQ(page(3).lastArgs, (PageArgs{QStringLiteral("DownloadToken"), QStringLiteral("https://x")}));
}

TEST_F(NavigationTest, TheWindowFitsThePageAndTheOldPageGoes) {
    m_window->Navigate(1);
    m_window->Navigate(2);
    EXPECT_EQ(m_window->centralWidget()->size(), QSize(391, 191));
    EXPECT_TRUE(page(2).GetHWND()->isVisible() || !m_window->isVisible());
    EXPECT_TRUE(waitFor([&] { return page(1).GetHWND()->isHidden(); }));
    EXPECT_TRUE(waitFor([&] { return page(2).GetHWND()->pos() == QPoint(0, 0); }));
}

TEST_F(NavigationTest, TitleTakesTheProductName) {
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Valdorix"));
    m_window->SetTitle(QStringLiteral("My token"));
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Valdorix - My token"));
    m_window->SetTitle(QString());
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Valdorix"));
}

class MainDlgTest : public ShellFixture {
protected:
    // Unlocked with `count` tokens through the log-in page.
    CMainDlg& openUnlocked(int count) {
        createDatabase(u"2468", count);
        CMainDlg& window = openMainWindow({pageid::Otp, pageid::Manager});
        auto* login = currentPage<CLoginPage>();
        type(edit(login, CLoginPage::IDC_PIN), QStringLiteral("2468"));
        login->onCommand(CLoginPage::IDC_LOGIN, BN_CLICKED);
        EXPECT_TRUE(store().isUnlocked());
        return window;
    }
    static QAction* action(QMenu* menu, int id) {
        for (QAction* a : menu->actions())
            if (a->property("commandId").toInt() == id)
                return a;
        return nullptr;
    }
};

TEST_F(MainDlgTest, UnlockedWithoutATokenGreysTheTokenCommands) {
    CMainDlg& window = openUnlocked(0);
    QMenu* token = window.menu(QStringLiteral("&Token"));
    window.prepareMenu(token);
    for (int id : {ID_SIGN, ID_SYNCHRONISE_TOKEN, ID_TOKEN_PROPERTY, ID_EXPORT_TOKEN})
        EXPECT_FALSE(action(token, id)->isEnabled()) << id;
    for (int id : {ID_OTP, ID_CHALLENGE, ID_DOWNLOAD_TOKEN, ID_INSTALL_TOKEN, ID_IMPORT_TOKENS, ID_CHANGE_PIN,
                   ID_EXIT})
        EXPECT_TRUE(action(token, id)->isEnabled()) << id;
}

TEST_F(MainDlgTest, WithATokenEverythingIsEnabled) {
    CMainDlg& window = openUnlocked(1);
    QMenu* token = window.menu(QStringLiteral("&Token"));
    window.prepareMenu(token);
    for (QAction* a : token->actions())
        EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
}

TEST_F(MainDlgTest, TheTokenListFitsOneScreenColumnWithTheDefaultThenMoreTokens) {
    CMainDlg& window = openUnlocked(400);
    QMenu* select = window.menu(QStringLiteral("&Select Token"));
    ASSERT_NE(select, nullptr);
    const int screenHeight = select->screen()->availableGeometry().height();
    for (int defaultIndex : {7, 350}) {
        SCOPED_TRACE(defaultIndex);
        store().setDefaultIndex(defaultIndex);
        window.prepareMenu(select);
        window.prepareMenu(select); // rebuilt, not appended twice
        const QList<QAction*> actions = select->actions();
        const int tokenRows = int(actions.size()) - 3;
        ASSERT_GT(tokenRows, 8);
        ASSERT_LT(tokenRows, 400);
        EXPECT_LE(select->sizeHint().height(), screenHeight);
        EXPECT_EQ(actions[0]->text(), QStringLiteral("&Manage Tokens..."));
        EXPECT_TRUE(actions[1]->isSeparator());
        EXPECT_EQ(actions.last()->text(), QStringLiteral("More Tokens..."));
        std::vector<int> checked;
        for (int i = 0; i < tokenRows; ++i) {
            const int id = actions[2 + i]->property("commandId").toInt();
            if (actions[2 + i]->isChecked())
                checked.push_back(id);
            if (i + 1 < tokenRows) {
                EXPECT_EQ(actions[2 + i]->text(), QStringLiteral("Token %1").arg(i));
            }
        }
        EXPECT_EQ(checked, std::vector<int>{CMainDlg::TokenCommandFirst + defaultIndex});
    }

    // Every position can still be chosen by its command.
    window.onCommand(CMainDlg::TokenCommandFirst + 390);
    EXPECT_EQ(store().defaultIndex, 390);
    EXPECT_EQ(window.GetCurrentPageId(), pageid::Otp);

    // A short list has every token and no "More Tokens...".
    store().tokens.resize(3);
    window.prepareMenu(select);
    EXPECT_EQ(select->actions().size(), 2 + 3);
}

TEST_F(MainDlgTest, TheCheckFollowsIdentityNotEqualContents) {
    CMainDlg& window = openUnlocked(2);
    // Two tokens with the same texts: only the default object is checked.
    *store().tokens[1] = *store().tokens[0];
    store().setDefaultIndex(1);
    QMenu* select = window.menu(QStringLiteral("&Select Token"));
    window.prepareMenu(select);
    EXPECT_FALSE(select->actions()[2]->isChecked());
    EXPECT_TRUE(select->actions()[3]->isChecked());
}

TEST_F(MainDlgTest, EscEndsTheLoopWithTwo) {
    CMainDlg& window = openMainWindow();
    QTimer::singleShot(0, &window, [&] {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window.centralWidget();
        QTest::keyClick(target, Qt::Key_Escape);
    });
    EXPECT_EQ(QApplication::exec(), 2);
    EXPECT_EQ(window.exitCode(), 2);
}

TEST_F(MainDlgTest, CtrlLLocksBackToTheLogInPageWithEverySecretForgotten) {
    CMainDlg& window = openUnlocked(1);
    window.onCommand(ID_CHANGE_PIN);
    auto* change = currentPage<CChangePinPage>();
    ASSERT_NE(change, nullptr);
    edit(change, CChangePinPage::IDC_CURRENT_PIN)->setText(QStringLiteral("2468"));
    CCodeClipboard::instance().copy(QStringLiteral("755224"));

    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_L, Qt::ControlModifier);

    EXPECT_EQ(window.GetCurrentPageId(), pageid::Login);
    EXPECT_EQ(window.history(), (std::vector<unsigned>{pageid::Login}));
    EXPECT_FALSE(store().isUnlocked());
    EXPECT_EQ(store().keyInUse(), CFileTokenDB::Key{});
    EXPECT_TRUE(store().tokens.empty());
    EXPECT_TRUE(edit(change, CChangePinPage::IDC_CURRENT_PIN)->text().isEmpty());
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
    QMenu* token = window.menu(QStringLiteral("&Token"));
    window.prepareMenu(token);
    for (QAction* a : token->actions())
        EXPECT_EQ(a->isEnabled(), a->property("commandId").toInt() == ID_EXIT)
            << a->text().toStdString();

    // Unlocking is the ordinary log-in, which reads the file again.
    auto* login = currentPage<CLoginPage>();
    type(edit(login, CLoginPage::IDC_PIN), QStringLiteral("2468"));
    login->onCommand(CLoginPage::IDC_LOGIN, BN_CLICKED);
    EXPECT_TRUE(store().isUnlocked());
    EXPECT_EQ(store().tokens.size(), 1u);
}

TEST_F(MainDlgTest, ExitEndsTheLoopWith32785) {
    CMainDlg& window = openMainWindow();
    QTimer::singleShot(0, &window,
                       [&] { action(window.menu(QStringLiteral("&Token")), ID_EXIT)->trigger(); });
    EXPECT_EQ(QApplication::exec(), 32785);
}

TEST_F(MainDlgTest, HelpDoesNothing) {
    CMainDlg& window = openMainWindow();
    action(window.menu(QStringLiteral("&Help")), ID_HELP)->trigger();
    EXPECT_EQ(window.history(), (std::vector<unsigned>{pageid::SetPin}));
    EXPECT_EQ(window.exitCode(), 0);
}

TEST_F(MainDlgTest, AboutFromTheLoginPage) {
    createDatabase(u"2468");
    CMainDlg& window = openMainWindow();
    EXPECT_EQ(window.GetCurrentPageId(), pageid::Login);
    action(window.menu(QStringLiteral("&Help")), ID_ABOUT)->trigger();
    auto* about = currentPage<CAboutPage>();
    ASSERT_NE(about, nullptr);
    CNavigationBar* bar = about->navigationBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->button(CNavigationBar::Back)->isEnabled());
    EXPECT_FALSE(bar->button(CNavigationBar::Forward)->isEnabled());
    EXPECT_FALSE(bar->button(CNavigationBar::Home)->isEnabled());

    bar->onCommand(CNavigationBar::IDC_BACK, BN_CLICKED);
    EXPECT_EQ(window.GetCurrentPageId(), pageid::Login);
}

TEST_F(MainDlgTest, AboutWhenUnlockedFollowsTheHistory) {
    CMainDlg& window = openUnlocked(1);
    window.onCommand(ID_ABOUT);
    auto* about = currentPage<CAboutPage>();
    CNavigationBar* bar = about->navigationBar();
    EXPECT_TRUE(bar->button(CNavigationBar::Home)->isEnabled());
    EXPECT_TRUE(bar->button(CNavigationBar::Back)->isEnabled());
    EXPECT_FALSE(bar->button(CNavigationBar::Forward)->isEnabled());
}

TEST_F(MainDlgTest, EditBoxesAreLessTallAndPagesWithoutPlaceholderHaveNoBar) {
    createDatabase(u"2468");
    openMainWindow();
    auto* login = currentPage<CLoginPage>();
    ASSERT_NE(login, nullptr);
    EXPECT_EQ(login->GetHWND()->size(), QSize(391, 191));
    EXPECT_EQ(login->navigationBar(), nullptr);

    CFixDPIDialogBase layout;
    QWidget probe;
    ASSERT_TRUE(layout.Init(&probe, CLoginPage::IDD, 96.0));
    EXPECT_EQ(layout.baseWidth(), 6);
    EXPECT_EQ(layout.baseHeight(), 13);
    const resources::DialogItem* item =
        resources::findDialogTemplate(CLoginPage::IDD)->item(CLoginPage::IDC_PIN);
    const int templateHeight = layout.toPixels(item->x, item->y, item->cx, item->cy).height();
    QWidget* pin = control(login, CLoginPage::IDC_PIN);
    EXPECT_EQ(pin->height(), templateHeight - 5);

    // The frame: the pixel just outside the box is not the bare background.
    const QImage painted = login->GetHWND()->grab().toImage();
    auto background = CxImage::LoadPng(picture::PageBackground);
    ASSERT_TRUE(background && background->IsValid());
    const QPoint outside = pin->geometry().topLeft() + QPoint(-1, pin->height() / 2);
    EXPECT_NE(painted.pixel(outside) & 0xffffff,
              background->GetPixelColor(outside.x(), outside.y()) & 0xffffff);

    // The change-PIN page has a bar, exactly on its placeholder.
    store().markUnlocked();
    m_window->onCommand(ID_CHANGE_PIN);
    auto* change = currentPage<CChangePinPage>();
    ASSERT_NE(change->navigationBar(), nullptr);
    EXPECT_EQ(change->navigationBar()->geometry(), control(change, IDC_NAVIGATION_BAR)->geometry());
    EXPECT_FALSE(control(change, IDC_NAVIGATION_BAR)->isVisible());
}

} // namespace

namespace {

TEST(ModuleTest, TextDigestsReadTheStringTable) {
    ensureApplication();
    std::uint8_t byId[16] = {};
    std::uint8_t byText[16] = {};
    md5OfText(128, byId);
    md5OfText(std::u16string_view(u"Valdorix"), byText);
    EXPECT_EQ(std::memcmp(byId, byText, sizeof byId), 0);
    md5OfText(129, byId); // no such string: the digest of the empty text
    md5OfText(std::u16string_view(), byText);
    EXPECT_EQ(std::memcmp(byId, byText, sizeof byId), 0);
}

} // namespace
