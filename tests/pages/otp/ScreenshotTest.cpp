// Pictures of the OTP pages in their typical states, written to <build>/screenshots/ for people
// to look at. The checks are what a picture cannot hide: the page's size, and the plate and bar
// inside it.
#include "OtpTestSupport.h"
#include "engine/OtpAuthUri.h"
#include "pages/otp/ChallengePage.h"
#include "pages/otp/SelectTokenWindow.h"
#include "pages/otp/ShowOTPPage.h"
#include "pages/otp/SignPage.h"

#include <QPainter>

using namespace otptest;

namespace {

class OtpScreenshotTest : public OtpFixture {
protected:
    void save(CPage* page, const QString& name, QWidget* popup = nullptr) {
        QWidget* hwnd = page->GetHWND();
        ASSERT_EQ(hwnd->size(), QSize(391, 191));
        QImage image = hwnd->grab().toImage();
        if (popup && popup->isVisible()) {
            // The picker is a window of its own and may reach past the page: both on one canvas,
            // the picker where it stands.
            const QRect pickerArea(hwnd->mapFromGlobal(popup->pos()), popup->size());
            const QRect canvas = hwnd->rect().united(pickerArea);
            QImage both(canvas.size(), QImage::Format_RGB32);
            both.fill(Qt::darkGray);
            QPainter painter(&both);
            painter.drawImage(-canvas.topLeft(), image);
            painter.drawImage(pickerArea.topLeft() - canvas.topLeft(), popup->grab().toImage());
            painter.end();
            image = both;
        }
        EXPECT_TRUE(image.save(folderInBuild(QStringLiteral("screenshots")) + u'/' + name));
    }

    static void expectInside(COtpPage* page) {
        const QRect area = page->GetHWND()->rect();
        EXPECT_TRUE(area.contains(page->plate()->geometry()));
        EXPECT_TRUE(area.contains(page->timerBar()->geometry()));
    }
};

TEST_F(OtpScreenshotTest, OtpPageStates) {
    COtpPage* page = otpPage();
    expectInside(page);
    save(page, QStringLiteral("otp_130_no_token.png"));

    auto event = makeToken(TokenKind::Event, u"Mail account", u"VX0012345");
    addToken(event);
    auto dual = makeToken(TokenKind::Event, u"Bank (two keys)", u"VX0012346");
    dual->dualDisplay = true;
    addToken(dual);
    auto time = makeToken(TokenKind::OcraTime, u"VPN", u"VX0012347");
    time->digits = 8;
    addToken(time);

    page->refresh();
    QTest::mouseClick(control(page, COtpPage::IDC_GO), Qt::LeftButton);
    for (int i = 0; i < 8; ++i)
        tick(page);
    expectInside(page);
    save(page, QStringLiteral("otp_130_event.png"));

    store().setDefaultIndex(1);
    page->refresh();
    QTest::mouseClick(control(page, COtpPage::IDC_GO), Qt::LeftButton);
    expectInside(page);
    save(page, QStringLiteral("otp_130_dual.png"));

    store().setDefaultIndex(2);
    page->refresh();
    ASSERT_EQ(page->countdown(), 12); // eight ticks later than the fixture's start
    expectInside(page);
    save(page, QStringLiteral("otp_130_ocratime.png"));

    QTest::keyClick(page, Qt::Key_F2);
    ASSERT_NE(page->picker(), nullptr);
    save(page, QStringLiteral("otp_130_picker.png"), page->picker());
    QTest::keyClick(page->picker(), Qt::Key_Escape);

    // A token of another service: TOTP with a 45-second period and 7 digits.
    auto web = parseOtpAuthUri("otpauth://totp/Example:ann@example.com?secret=GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ"
                               "&issuer=Example&digits=7&period=45")
                   .token;
    ASSERT_NE(web, nullptr);
    addToken(web);
    store().setDefaultIndex(3);
    page->refresh();
    ASSERT_EQ(page->timerBar()->range(), 45);
    expectInside(page);
    save(page, QStringLiteral("otp_130_totp.png"));
}

TEST_F(OtpScreenshotTest, ResultChallengeAndSigningPages) {
    addToken(makeToken(TokenKind::Event, u"Mail account", u"VX0012345"));
    auto* result =
        showPage<CShowOTPPage>(pageid::ShowOtp, {QStringLiteral("491537"), QStringLiteral("220841"),
                                                 QStringLiteral("Your response:")});
    save(result, QStringLiteral("otp_134.png"));

    for (unsigned id : {pageid::Challenge, pageid::Sign}) {
        CPage* page = showPage<CPage>(id);
        QTest::keyClicks(edit(page, 1002), QStringLiteral("73914265"));
        QTest::keyClicks(edit(page, 1003), QStringLiteral("1234"));
        save(page, QStringLiteral("otp_%1.png").arg(id));
    }
}

} // namespace
