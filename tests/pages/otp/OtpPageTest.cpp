// The home page through the main window: codes on Go, the countdown, OcraTime renewal, dual
// display, Copy, the Go lock, and the countdown put right after missed ticks.
#include "OtpTestSupport.h"
#include "platform/ServerClock.h"
#include "ui/PngButton.h"

#include <QClipboard>
#include <QLabel>

using namespace otptest;

namespace {

class OtpPageTest : public OtpFixture {
protected:
    static QWidget* go(COtpPage* page) { return control(page, COtpPage::IDC_GO); }
    static QWidget* copy(COtpPage* page) { return control(page, COtpPage::IDC_COPY); }
    static QString nameLine(COtpPage* page) {
        return qobject_cast<QLabel*>(control(page, COtpPage::IDC_NAME))->text();
    }
    static void click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }
};

TEST_F(OtpPageTest, NoTokenSaysHowToAddOneAndDisablesGoAndCopy) {
    COtpPage* page = otpPage();
    EXPECT_EQ(page->plate()->topCode(), u"");
    EXPECT_FALSE(go(page)->isEnabled());
    EXPECT_FALSE(copy(page)->isEnabled());
    EXPECT_TRUE(control(page, COtpPage::IDC_CHANGE_TOKEN)->isEnabled());
    EXPECT_EQ(nameLine(page), QStringLiteral("No token yet: add one from the Token menu."));
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Valdorix"));
    // Go does nothing without a token, even when asked directly.
    page->onCommand(COtpPage::IDC_GO, 0);
    EXPECT_EQ(page->plate()->topCode(), u"");
}

TEST_F(OtpPageTest, EventTokenGoShowsRfc4226CodesLocksGoAndSavesTheCounter) {
    auto token = addToken(makeToken(TokenKind::Event, u"Mail", u"EV1"));
    token->interval = 30;
    token->goDelay = 5;
    COtpPage* page = otpPage();
    EXPECT_EQ(nameLine(page), QStringLiteral("- Mail"));
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Valdorix - Mail"));
    EXPECT_TRUE(go(page)->isEnabled());
    EXPECT_FALSE(copy(page)->isEnabled());

    click(go(page));
    EXPECT_EQ(page->plate()->topCode(), u"755224");
    EXPECT_FALSE(go(page)->isEnabled());
    EXPECT_TRUE(copy(page)->isEnabled());
    EXPECT_TRUE(page->timer(COtpPage::TimerGoLock).isActive());
    EXPECT_EQ(page->timer(COtpPage::TimerGoLock).interval(), 5000);
    EXPECT_EQ(page->timer(COtpPage::TimerTick).interval(), 1000);
    EXPECT_EQ(page->timerBar()->range(), 30);
    EXPECT_EQ(reloadStore()->tokens.at(0)->counter, 1);

    // Enter does nothing while Go is locked.
    QTest::keyClick(page, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(token->counter, 1);

    // The lock ends at the Go delay; its timer keeps running.
    page->onTimer(COtpPage::TimerGoLock);
    EXPECT_TRUE(go(page)->isEnabled());
    EXPECT_TRUE(page->timer(COtpPage::TimerGoLock).isActive());

    // The code stays for `interval` ticks and goes on the one after.
    for (int i = 0; i < 30; ++i)
        tick(page);
    EXPECT_EQ(page->countdown(), 0);
    EXPECT_EQ(page->plate()->topCode(), u"755224");
    tick(page);
    EXPECT_EQ(page->plate()->topCode(), u"");
    EXPECT_FALSE(page->timer(COtpPage::TimerTick).isActive());
    EXPECT_EQ(page->timerBar()->range(), 0);
    EXPECT_TRUE(copy(page)->isEnabled()); // Copy keeps its state

    // Enter presses Go when it is enabled; each Go is on disk at once.
    QTest::keyClick(page, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !page->plate()->topCode().empty(); }));
    EXPECT_EQ(page->plate()->topCode(), u"287082");
    EXPECT_EQ(reloadStore()->tokens.at(0)->counter, 2);
}

TEST_F(OtpPageTest, GoShowsNoCodeWhoseCounterCouldNotBeSaved) {
    auto token = addToken(makeToken(TokenKind::Event, u"Mail", u"EV1"));
    COtpPage* page = otpPage();
    const fs::path blocker = databaseFile().string() + ".new";
    fs::create_directories(blocker); // every save fails

    click(go(page));
    EXPECT_EQ(page->plate()->topCode(), u"");
    EXPECT_EQ(token->counter, 0);
    EXPECT_TRUE(go(page)->isEnabled());
    ASSERT_EQ(MessageBox::answered().size(), 1);
    EXPECT_TRUE(MessageBox::answered()[0].text.contains(QStringLiteral("Is a directory")));

    // Once the disk takes it, the same first code comes: it was never shown.
    fs::remove_all(blocker);
    click(go(page));
    EXPECT_EQ(page->plate()->topCode(), u"755224");
    EXPECT_EQ(reloadStore()->tokens.at(0)->counter, 1);
}

TEST_F(OtpPageTest, GoWithIntervalZeroCountsDownFrom180AndAChallengeOnlyTokenShowsNothing) {
    auto token = addToken(makeToken(TokenKind::ChallengeOnly, u"Bare", u"CO1"));
    token->interval = 0;
    COtpPage* page = otpPage();
    click(go(page));
    EXPECT_EQ(page->plate()->topCode(), u"");
    EXPECT_EQ(page->countdown(), 180);
    EXPECT_EQ(page->timerBar()->range(), 180);
    EXPECT_FALSE(go(page)->isEnabled());
}

TEST_F(OtpPageTest, OcraTimeMidStepCountsDownAndRenewsOnTheTickAfterZero) {
    auto token = makeToken(TokenKind::OcraTime, u"Clock", u"OT1");
    token->digits = 8;
    token->interval = 30;
    addToken(token);
    COtpPage* page = otpPage();

    // RFC 6238: 1111111090 lies in the step of 1111111109.
    EXPECT_EQ(page->plate()->topCode(), u"07081804");
    EXPECT_EQ(page->countdown(), 20);
    EXPECT_EQ(page->timerBar()->range(), 30);
    EXPECT_EQ(page->timerBar()->position(), 20);
    EXPECT_EQ(CTimerBar::redWidth(30, 20, page->timerBar()->width()), page->timerBar()->width() / 3);
    EXPECT_FALSE(go(page)->isEnabled());
    EXPECT_TRUE(copy(page)->isEnabled());
    EXPECT_TRUE(page->timer(COtpPage::TimerTick).isActive());

    int lastRed = 0;
    for (int i = 0; i < 20; ++i) {
        tick(page);
        const int red = CTimerBar::redWidth(30, page->timerBar()->position(), page->timerBar()->width());
        EXPECT_GT(red, lastRed);
        lastRed = red;
    }
    EXPECT_EQ(page->countdown(), 0);
    EXPECT_EQ(page->plate()->topCode(), u"07081804");
    tick(page); // 1111111111: the next step, RFC 6238's next vector
    EXPECT_EQ(page->plate()->topCode(), u"14050471");
    EXPECT_EQ(page->countdown(), 29);
    EXPECT_EQ(page->timerBar()->position(), 29);

    // Go does nothing for a time token, even when asked directly; nothing is saved.
    const std::string before = fileBytes();
    page->onCommand(COtpPage::IDC_GO, 0);
    page->onTimer(COtpPage::TimerGoLock);
    EXPECT_FALSE(go(page)->isEnabled());
    EXPECT_EQ(fileBytes(), before);
}

// A token of the TOTP kind steps at its whole period: the bar counts the period down.
TEST_F(OtpPageTest, TotpTokenCountsDownItsWholePeriodAndRenews) {
    auto token = makeToken(TokenKind::Totp, u"Web", u"P1");
    token->digits = 8;
    token->interval = 60;
    addToken(token);
    COtpPage* page = otpPage();

    // oathtool --totp -s 60 -d 8 at 1111111090 (10 s into a 60 s step) and at the next step.
    EXPECT_EQ(page->plate()->topCode(), u"19360094");
    EXPECT_EQ(page->countdown(), 50);
    EXPECT_EQ(page->timerBar()->range(), 60);
    EXPECT_EQ(page->timerBar()->position(), 50);
    EXPECT_FALSE(go(page)->isEnabled());
    for (int i = 0; i < 50; ++i)
        tick(page);
    EXPECT_EQ(page->plate()->topCode(), u"19360094");
    tick(page);
    EXPECT_EQ(page->plate()->topCode(), u"68593113");
    EXPECT_EQ(page->countdown(), 59);

    // Its codes follow the clock, so a clock the servers disagree with is named.
    platform::noteServerTime(m_now + 130, m_now);
    page->refresh();
    EXPECT_FALSE(page->clockWarning()->isHidden());
}

TEST_F(OtpPageTest, MissedTicksBringTheCodeAndCountdownBackToTheClock) {
    auto token = makeToken(TokenKind::OcraTime, u"Clock", u"OT1");
    token->digits = 8;
    addToken(token);
    COtpPage* page = otpPage();
    ASSERT_EQ(page->countdown(), 20);

    // A suspend of 81 seconds: one tick arrives where 81 were due.
    tick(page, 81); // 1111111171, step 37037039, 30 - 1 seconds left
    EXPECT_EQ(page->countdown(), 29);
    EXPECT_EQ(page->plate()->topCode(), token->computeOtpForTime(1111111171, 30).first);
    EXPECT_NE(page->plate()->topCode(), u"07081804");

    // The clock set back: the code follows it too.
    tick(page, -60); // 1111111111
    EXPECT_EQ(page->plate()->topCode(), u"14050471");
    EXPECT_EQ(page->countdown(), 29);
}

TEST_F(OtpPageTest, MissedTicksEndAnOnRequestCodeThatHasRunOut) {
    addToken(makeToken(TokenKind::Event, u"Mail", u"EV1"));
    COtpPage* page = otpPage();
    click(go(page));
    ASSERT_EQ(page->plate()->topCode(), u"755224");
    tick(page, 10);
    EXPECT_EQ(page->countdown(), 20);
    EXPECT_EQ(page->plate()->topCode(), u"755224");
    tick(page, 25);
    EXPECT_EQ(page->plate()->topCode(), u"");
    EXPECT_FALSE(page->timer(COtpPage::TimerTick).isActive());
}

TEST_F(OtpPageTest, DualDisplayTokenShowsTwoLinesAndASingleLineTokenShrinksBack) {
    auto dual = makeToken(TokenKind::Event, u"Two", u"D1");
    dual->dualDisplay = true;
    addToken(dual);
    addToken(makeToken(TokenKind::Event, u"One", u"S1"));
    COtpPage* page = otpPage();
    const QRect twoLines = page->plate()->geometry();
    EXPECT_EQ(twoLines.height(), 50);
    click(go(page));
    EXPECT_EQ(page->plate()->topCode(), u"755224");
    EXPECT_EQ(page->plate()->bottomCode(), dual->computeOtpAt(0).second);

    store().setDefaultIndex(1);
    QCoreApplication::postEvent(page, new QEvent(WM_TOKENCHANGED));
    EXPECT_TRUE(QTest::qWaitFor([&] { return page->plate()->height() == 25; }));
    const QRect oneLine = page->plate()->geometry();
    EXPECT_EQ(oneLine.top() + 12, twoLines.top() + 25);
    EXPECT_EQ(oneLine.left(), twoLines.left());
    EXPECT_EQ(oneLine.width(), twoLines.width());
}

TEST_F(OtpPageTest, CopyPutsTheUpperCodeOnTheClipboardAndNothingOnceCleared) {
    auto token = makeToken(TokenKind::Event, u"Two", u"D1");
    token->dualDisplay = true;
    addToken(token);
    COtpPage* page = otpPage();
    QGuiApplication::clipboard()->setText(QStringLiteral("old"));
    click(go(page));
    click(copy(page));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("755224"));

    for (int i = 0; i < 31; ++i)
        tick(page);
    ASSERT_EQ(page->plate()->topCode(), u"");
    QGuiApplication::clipboard()->setText(QStringLiteral("mine"));
    click(copy(page));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("mine"));
}

TEST_F(OtpPageTest, AClockTheServersDisagreeWithIsNamedForTimeBasedTokensUntilARightReply) {
    addToken(makeToken(TokenKind::Time, u"VPN", u"T1"));
    addToken(makeToken(TokenKind::Event, u"Mail", u"E1"));
    store().setDefaultIndex(0);
    COtpPage* page = otpPage();
    const QLabel* warning = page->clockWarning();
    EXPECT_TRUE(warning->isHidden());

    const struct {
        std::int64_t serverAhead;
        const char* text;
    } cases[] = {
        {130, "Your computer's clock is 2 min 10 s behind the server's: time-based codes may be refused. "
              "Set the clock."},
        {-3725, "Your computer's clock is 1 h 2 min 5 s ahead of the server's: time-based codes may be refused. "
                "Set the clock."},
        {-86400 - 31, "Your computer's clock is 1 d 31 s ahead of the server's: time-based codes may be "
                      "refused. Set the clock."},
    };
    for (const auto& c : cases) {
        platform::noteServerTime(m_now + c.serverAhead, m_now);
        page->refresh();
        EXPECT_FALSE(warning->isHidden()) << c.serverAhead;
        EXPECT_EQ(warning->text(), QString::fromUtf8(c.text));
    }

    // Not for an event token; the codes stay on the local clock.
    store().setDefaultIndex(1);
    page->refresh();
    EXPECT_TRUE(warning->isHidden());
    store().setDefaultIndex(0);
    page->refresh();
    EXPECT_FALSE(warning->isHidden());

    platform::noteServerTime(m_now + 30, m_now);
    tick(page);
    EXPECT_TRUE(warning->isHidden());
}

TEST_F(OtpPageTest, LeavingStopsTheTickAndComingBackClearsAnOnRequestCode) {
    addToken(makeToken(TokenKind::Event, u"Mail", u"EV1"));
    COtpPage* page = otpPage();
    click(go(page));
    m_window->Navigate(pageid::About);
    EXPECT_FALSE(page->timer(COtpPage::TimerTick).isActive());
    EXPECT_EQ(page->timerBar()->range(), 0);
    EXPECT_EQ(page->plate()->topCode(), u"755224"); // stays until the next refresh
    m_window->GoBack();
    EXPECT_EQ(page->plate()->topCode(), u"");
    EXPECT_TRUE(go(page)->isEnabled());
}

TEST_F(OtpPageTest, NameLineFallsBackToTheComposedNameAndTitleFollows) {
    auto token = makeToken(TokenKind::Event, u"", u"123");
    token->application = u"Bank";
    token->tokenName = u"Web";
    addToken(token);
    COtpPage* page = otpPage();
    EXPECT_EQ(nameLine(page), QStringLiteral("- Bank:Web:123"));
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Valdorix - Bank:Web:123"));
}

TEST_F(OtpPageTest, LogInLandsOnTheOtpPage) {
    addToken(makeToken(TokenKind::Event, u"Mail", u"EV1"));
    m_window.reset();
    m_store.reset();
    m_store = std::make_unique<CValdorixTokenDB>();
    openMainWindow();
    ASSERT_EQ(m_window->GetCurrentPageId(), pageid::Login);
    CPage* login = m_window->findPage(pageid::Login);
    QLineEdit* pin = edit(login, 1031);
    ASSERT_NE(pin, nullptr);
    QTest::keyClicks(pin, text(std::u16string(kPin)));
    QTest::keyClick(pin, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_window->GetCurrentPageId() == pageid::Otp; }));
    auto* page = dynamic_cast<COtpPage*>(m_window->findPage(pageid::Otp));
    EXPECT_EQ(nameLine(page), QStringLiteral("- Mail"));
    EXPECT_TRUE(go(page)->isEnabled());
}

} // namespace

namespace {

TEST_F(OtpPageTest, FirstStartGoesFromTheNewPinToACodeOnScreen) {
    m_window.reset();
    m_store.reset();
    fs::remove(databaseFile());
    m_store = std::make_unique<CValdorixTokenDB>();
    openMainWindow();
    ASSERT_EQ(m_window->GetCurrentPageId(), pageid::SetPin);
    CPage* setPin = m_window->findPage(pageid::SetPin);
    QTest::keyClicks(edit(setPin, 1032), QStringLiteral("1357"));
    QTest::keyClicks(edit(setPin, 1033), QStringLiteral("1357"));
    QTest::keyClick(edit(setPin, 1033), Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_window->GetCurrentPageId() == pageid::Otp; }));
    auto* page = dynamic_cast<COtpPage*>(m_window->findPage(pageid::Otp));
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(go(page)->isEnabled()); // no token yet

    // A token arrives (as the install page would add it) and the menu makes it the default.
    store().tokens.push_back(makeToken(TokenKind::Event, u"Mail", u"EV1"));
    EXPECT_TRUE(store().save());
    m_window->Navigate(pageid::Otp);
    click(go(page));
    EXPECT_EQ(page->plate()->topCode(), u"755224");
}

} // namespace
