// What a screen reader learns through QAccessible: every PNG button by its caption, with a press
// action that works; the digit plate's code as text; the countdown's seconds left, as a value and
// as text. (The change events these widgets send need a platform accessibility bridge, which the
// offscreen platform does not have, so they are not seen here.)
#include "OtpTestSupport.h"
#include "ui/PngButton.h"

#include <QAccessible>
#include <QAccessibleValueInterface>

using namespace otptest;

namespace {

class AccessibilityTest : public OtpFixture {
protected:
    static QAccessibleInterface* of(QObject* object) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
        EXPECT_NE(iface, nullptr);
        return iface;
    }
};

TEST_F(AccessibilityTest, EveryPngButtonIsANamedButtonWhoseStateFollowsTheWidget) {
    addToken(makeToken(TokenKind::Event, u"Mail", u"EV1"));
    // Every page once, so every page's buttons exist.
    for (unsigned id : {pageid::Otp, pageid::Sign, pageid::Install, pageid::Import, pageid::Manager,
                        pageid::ShowOtp, pageid::Download, pageid::Progress, pageid::Activate,
                        pageid::Synchronise, pageid::TokenProperty, pageid::About, pageid::Login,
                        pageid::ChangePin, pageid::SetPin, pageid::TokenPackActivate, pageid::Challenge})
        showPage<CPage>(id);

    const QList<CPngButton*> buttons = m_window->findChildren<CPngButton*>();
    ASSERT_GE(buttons.size(), 30);
    QStringList names;
    for (CPngButton* button : buttons) {
        SCOPED_TRACE(button->text().toStdString());
        QAccessibleInterface* iface = of(button);
        ASSERT_NE(iface, nullptr);
        EXPECT_EQ(iface->role(), QAccessible::Button);
        EXPECT_FALSE(iface->text(QAccessible::Name).isEmpty());
        EXPECT_EQ(iface->text(QAccessible::Name), CPngButton::stripMnemonics(button->text()));
        EXPECT_EQ(iface->state().disabled, !button->isEnabled());
        EXPECT_EQ(iface->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()),
                  button->isEnabled());
        names << iface->text(QAccessible::Name);
    }
    for (const char* expected : {"Go", "Copy", "Change Token... (F2)", "Home", "Back", "Forward", "Login",
                                 "Install", "Import", "Download", "Continue", "Synchronise", "Sign"})
        EXPECT_TRUE(names.contains(QString::fromLatin1(expected))) << expected;
}

TEST_F(AccessibilityTest, ThePressActionIsAClickAndADisabledButtonRefusesIt) {
    auto token = addToken(makeToken(TokenKind::Event, u"Mail", u"EV1"));
    COtpPage* page = otpPage();
    QAccessibleInterface* go = of(control(page, COtpPage::IDC_GO));
    ASSERT_NE(go, nullptr);
    go->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(page->plate()->topCode(), u"755224");
    EXPECT_EQ(token->counter, 1);

    // Go is locked now: the action is gone, and asking for it anyway does nothing.
    EXPECT_TRUE(go->state().disabled);
    EXPECT_FALSE(go->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    go->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(token->counter, 1);

    // A button held down reads as pressed.
    QWidget* copy = control(page, COtpPage::IDC_COPY);
    QAccessibleInterface* copyInterface = of(copy);
    ASSERT_NE(copyInterface, nullptr);
    EXPECT_FALSE(copyInterface->state().pressed);
    QTest::mousePress(copy, Qt::LeftButton);
    EXPECT_TRUE(copyInterface->state().pressed);
    QTest::mouseRelease(copy, Qt::LeftButton);
    EXPECT_FALSE(copyInterface->state().pressed);
}

TEST_F(AccessibilityTest, ThePlateReadsItsCodeAsText) {
    addToken(makeToken(TokenKind::Event, u"Mail", u"EV1"));
    COtpPage* page = otpPage();
    CNumberPlate* plate = page->plate();
    QAccessibleInterface* iface = of(plate);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::StaticText);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("No code"));
    EXPECT_EQ(iface->text(QAccessible::Value), QString());
    EXPECT_EQ(iface->text(QAccessible::Description), QStringLiteral("One-time password"));

    QTest::mouseClick(control(page, COtpPage::IDC_GO), Qt::LeftButton);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("755224"));
    EXPECT_EQ(iface->text(QAccessible::Value), QStringLiteral("755224"));

    // Two lines: both codes, the upper one first; the value stays the code Copy takes.
    auto dual = makeToken(TokenKind::Event, u"Two keys", u"EV2");
    dual->dualDisplay = true;
    addToken(dual);
    store().setDefaultIndex(1);
    page->refresh();
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("No code"));
    QTest::mouseClick(control(page, COtpPage::IDC_GO), Qt::LeftButton);
    const QString first = QString::fromStdU16String(plate->topCode());
    const QString second = QString::fromStdU16String(plate->bottomCode());
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(second.isEmpty());
    EXPECT_EQ(iface->text(QAccessible::Name), first + QStringLiteral(", ") + second);
    EXPECT_EQ(iface->text(QAccessible::Value), first);

    // When the code goes, so does its text.
    for (int i = 0; i < 1000 && page->timer(COtpPage::TimerTick).isActive(); ++i)
        tick(page);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("No code"));
}

TEST_F(AccessibilityTest, TheCountdownIsAProgressBarOfSecondsLeft) {
    auto token = addToken(makeToken(TokenKind::Event, u"Mail", u"EV1"));
    token->interval = 30;
    COtpPage* page = otpPage();
    CTimerBar* bar = page->timerBar();
    QAccessibleInterface* iface = of(bar);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::ProgressBar);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Time left"));
    EXPECT_TRUE(iface->state().readOnly);
    QAccessibleValueInterface* value = iface->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(iface->text(QAccessible::Value), QString()) << "no countdown before Go";
    EXPECT_EQ(value->currentValue().toInt(), 0);

    QTest::mouseClick(control(page, COtpPage::IDC_GO), Qt::LeftButton);
    EXPECT_EQ(value->minimumValue().toInt(), 0);
    EXPECT_EQ(value->maximumValue().toInt(), 30);
    EXPECT_EQ(value->currentValue().toInt(), 30);
    EXPECT_EQ(iface->text(QAccessible::Value), QStringLiteral("30 seconds left"));

    const struct {
        int ticks;
        int left;
        const char* text;
    } steps[] = {{1, 29, "29 seconds left"},
                 {27, 2, "2 seconds left"},
                 {1, 1, "1 second left"},
                 {1, 0, "0 seconds left"}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.text);
        for (int i = 0; i < step.ticks; ++i)
            tick(page);
        EXPECT_EQ(value->currentValue().toInt(), step.left);
        EXPECT_EQ(iface->text(QAccessible::Value), QString::fromLatin1(step.text));
        EXPECT_EQ(iface->text(QAccessible::Description), QString::fromLatin1(step.text));
    }

    // The tick after 0 ends the countdown: nothing left to read.
    tick(page);
    EXPECT_EQ(value->currentValue().toInt(), 0);
    EXPECT_EQ(value->maximumValue().toInt(), 0);
    EXPECT_EQ(iface->text(QAccessible::Value), QString());
}

} // namespace
