// The challenge and signing pages with the result page they lead to.
#include "OtpTestSupport.h"
#include "pages/otp/ChallengePage.h"
#include "pages/otp/ShowOTPPage.h"
#include "pages/otp/SignPage.h"

#include <QClipboard>
#include <QLabel>

using namespace otptest;

namespace {

class RespondPagesTest : public OtpFixture {
protected:
    static constexpr int IDC_CHALLENGE = 1002;
    static constexpr int IDC_PIN = 1003;

    // Types into the page's fields and presses Enter; returns what page 134 then shows.
    template <class T>
    OtpPair answer(const QString& challenge, const QString& pin = {}) {
        T* page = showPage<T>(T::IDD);
        QTest::keyClicks(edit(page, IDC_CHALLENGE), challenge);
        if (!pin.isEmpty())
            QTest::keyClicks(edit(page, IDC_PIN), pin);
        QTest::keyClick(edit(page, IDC_CHALLENGE), Qt::Key_Return);
        EXPECT_TRUE(QTest::qWaitFor([&] { return m_window->GetCurrentPageId() == pageid::ShowOtp; }));
        return shownCodes();
    }

    OtpPair shownCodes() {
        auto* result = dynamic_cast<CShowOTPPage*>(m_window->findPage(pageid::ShowOtp));
        return {result->plate()->topCode(), result->plate()->bottomCode()};
    }

    QString caption() {
        return qobject_cast<QLabel*>(control(m_window->findPage(pageid::ShowOtp), CShowOTPPage::IDC_CAPTION))
            ->text();
    }
};

TEST_F(RespondPagesTest, ActionFollowsTheChallengeFieldAndEnterDoesNothingWhileDisabled) {
    addToken(makeToken(TokenKind::Event, u"Mail", u"EV1"));
    for (unsigned id : {pageid::Challenge, pageid::Sign}) {
        CPage* page = showPage<CPage>(id);
        const int action = id == pageid::Challenge ? CChallengePage::IDC_ACTION : CSignPage::IDC_ACTION;
        QWidget* button = control(page, action);
        EXPECT_FALSE(button->isEnabled());
        QTest::keyClicks(edit(page, IDC_CHALLENGE), QStringLiteral("12"));
        EXPECT_TRUE(button->isEnabled());
        QTest::keyClick(edit(page, IDC_CHALLENGE), Qt::Key_Backspace);
        QTest::keyClick(edit(page, IDC_CHALLENGE), Qt::Key_Backspace);
        EXPECT_FALSE(button->isEnabled());
        // A PIN alone enables nothing; blanks alone do.
        QTest::keyClicks(edit(page, IDC_PIN), QStringLiteral("99"));
        EXPECT_FALSE(button->isEnabled());
        QTest::keyClick(edit(page, IDC_PIN), Qt::Key_Return);
        QCoreApplication::processEvents();
        EXPECT_EQ(m_window->GetCurrentPageId(), id);
        QTest::keyClicks(edit(page, IDC_CHALLENGE), QStringLiteral("  "));
        EXPECT_TRUE(button->isEnabled());
    }
}

TEST_F(RespondPagesTest, BlanksAroundTheChallengeDoNotCountAndAnEventTokenIgnoresThePin) {
    auto token = addToken(makeToken(TokenKind::Event, u"Mail", u"EV1"));
    const OtpPair plain = answer<CChallengePage>(QStringLiteral("12345678"));
    EXPECT_EQ(plain, token->respond(u"12345678", u""));
    EXPECT_EQ(plain.first.size(), 6u);
    EXPECT_EQ(answer<CChallengePage>(QStringLiteral(" \t12345678  ")), plain);
    EXPECT_EQ(answer<CChallengePage>(QStringLiteral("12345678"), QStringLiteral("1234")), plain);
    EXPECT_EQ(token->counter, 0);
}

TEST_F(RespondPagesTest, OcraEventCounterIsOnDiskBeforeTheAnswerShows) {
    auto token = makeToken(TokenKind::OcraEvent, u"Ocra", u"OE1");
    token->ocraSuite = u"OCRA-1:HOTP-SHA1-6:C-QN08-PSHA1";
    addToken(token);

    const OtpPair one = answer<CChallengePage>(QStringLiteral("00000000"), QStringLiteral("1234"));
    const OtpPair two = answer<CSignPage>(QStringLiteral("00000000"), QStringLiteral("1234"));
    EXPECT_FALSE(one.first.empty());
    EXPECT_NE(one, two);
    EXPECT_EQ(token->counter, 2);
    // A restart must not answer with a counter already used.
    EXPECT_EQ(reloadStore()->tokens.at(0)->counter, 2);

    // The PIN enters the OCRA data: a PIN with a blank is another PIN.
    const OtpPair spaced = answer<CChallengePage>(QStringLiteral("00000000"), QStringLiteral(" 1234"));
    token->counter = 2;
    EXPECT_EQ(spaced, token->respond(u"00000000", u" 1234"));
    token->counter = 2;
    EXPECT_NE(spaced, token->respond(u"00000000", u"1234"));
}

TEST_F(RespondPagesTest, AnAnswerWhoseCounterCannotBeSavedIsNotShown) {
    auto token = makeToken(TokenKind::OcraEvent, u"Ocra", u"OE1");
    token->ocraSuite = u"OCRA-1:HOTP-SHA1-6:C-QN08";
    addToken(token);
    fs::create_directories(fs::path(databaseFile().string() + ".new")); // every save fails
    CChallengePage* page = showPage<CChallengePage>(CChallengePage::IDD);
    QTest::keyClicks(edit(page, IDC_CHALLENGE), QStringLiteral("00000000"));
    QTest::keyClick(edit(page, IDC_CHALLENGE), Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([] { return !MessageBox::answered().isEmpty(); }));
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::Challenge);
    EXPECT_EQ(token->counter, 0);
    ASSERT_EQ(MessageBox::answered().size(), 1);
    EXPECT_TRUE(MessageBox::answered()[0].text.contains(QStringLiteral("Is a directory")));
}

TEST_F(RespondPagesTest, SigningAndChallengeGiveTheSameCodesUnderTheirOwnCaptions) {
    auto token = makeToken(TokenKind::Event, u"Two", u"D1");
    token->dualDisplay = true;
    addToken(token);
    const OtpPair signature = answer<CSignPage>(QStringLiteral("pay 100 to Bob"));
    EXPECT_EQ(caption(), QStringLiteral("Your signature:"));
    const OtpPair response = answer<CChallengePage>(QStringLiteral("pay 100 to Bob"));
    EXPECT_EQ(caption(), QStringLiteral("Your response:"));
    EXPECT_EQ(signature, response);

    // Both lines show, as the default token asks; Copy takes the upper one.
    auto* result = dynamic_cast<CShowOTPPage*>(m_window->findPage(pageid::ShowOtp));
    EXPECT_TRUE(result->plate()->isDualLine());
    EXPECT_EQ(result->plate()->height(), 50);
    QTest::mouseClick(control(result, CShowOTPPage::IDC_COPY), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), text(response.first));

    // Back returns to a cleared page.
    m_window->GoBack();
    CPage* challenge = m_window->findPage(pageid::Challenge);
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::Challenge);
    EXPECT_TRUE(edit(challenge, IDC_CHALLENGE)->text().isEmpty());
    EXPECT_TRUE(edit(challenge, IDC_PIN)->text().isEmpty());
    EXPECT_FALSE(control(challenge, CChallengePage::IDC_ACTION)->isEnabled());
}

TEST_F(RespondPagesTest, ResultPageFollowsTheCurrentDefaultTokenAndItsArguments) {
    auto single = addToken(makeToken(TokenKind::Event, u"One", u"S1"));
    auto* result =
        showPage<CShowOTPPage>(pageid::ShowOtp, {QStringLiteral("111111"), QStringLiteral("222222"),
                                                 QStringLiteral("Your response:")});
    EXPECT_EQ(result->plate()->topCode(), u"111111");
    EXPECT_EQ(result->plate()->bottomCode(), u"222222");
    EXPECT_FALSE(result->plate()->isDualLine());
    EXPECT_EQ(caption(), QStringLiteral("Your response:"));

    single->dualDisplay = true;
    showPage<CShowOTPPage>(pageid::ShowOtp, {QStringLiteral("333333"), QStringLiteral("444444")});
    EXPECT_TRUE(result->plate()->isDualLine());
    EXPECT_EQ(result->plate()->topCode(), u"333333");
    EXPECT_EQ(caption(), QStringLiteral("Your response:")); // no third argument: kept

    // Fewer than two arguments (Back, Forward) change nothing.
    showPage<CShowOTPPage>(pageid::ShowOtp, {QStringLiteral("555555")});
    EXPECT_EQ(result->plate()->topCode(), u"333333");
}

TEST_F(RespondPagesTest, ChallengeWithNoTokenStaysOnThePage) {
    CPage* page = showPage<CChallengePage>(pageid::Challenge);
    QTest::keyClicks(edit(page, IDC_CHALLENGE), QStringLiteral("1234"));
    QTest::keyClick(edit(page, IDC_CHALLENGE), Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_window->GetCurrentPageId(), pageid::Challenge);
}

TEST_F(RespondPagesTest, AQuestionThatIsNoNumberGivesAnEmptyPlate) {
    auto token = makeToken(TokenKind::OcraTime, u"Ocra", u"OT1");
    token->ocraSuite = u"OCRA-1:HOTP-SHA1-6:QN08-T1M";
    addToken(token);
    const OtpPair numeric = answer<CChallengePage>(QStringLiteral("12345678"));
    EXPECT_EQ(numeric.first.size(), 6u);
    // The same minute gives the same answer; the next minute another.
    EXPECT_EQ(answer<CChallengePage>(QStringLiteral("12345678")), numeric);
    m_now += 60;
    EXPECT_NE(answer<CChallengePage>(QStringLiteral("12345678")), numeric);

    EXPECT_EQ(answer<CChallengePage>(QStringLiteral("12ab")), OtpPair{});
}

} // namespace
