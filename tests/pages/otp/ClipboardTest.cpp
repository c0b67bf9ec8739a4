// Codes on the clipboard: Ctrl+C as Copy, the secret hint, and the code taken off again.
#include "ui/SecretClipboard.h"

#include "OtpTestSupport.h"
#include "pages/otp/ShowOTPPage.h"

#include <QClipboard>
#include <QMimeData>

using namespace otptest;

namespace {

class ClipboardTest : public OtpFixture {
protected:
    static QClipboard* clipboard() { return QGuiApplication::clipboard(); }
    static void pressCtrlC(CPage* page) { QTest::keyClick(page->GetHWND(), Qt::Key_C, Qt::ControlModifier); }

    // The OTP page with the first code of the RFC 4226 key shown.
    COtpPage* pageWithCode() {
        addToken(makeToken(TokenKind::Event, u"Mail", u"EV1"));
        COtpPage* page = otpPage();
        page->onCommand(COtpPage::IDC_GO, 0);
        EXPECT_EQ(page->plate()->topCode(), u"755224");
        return page;
    }
};

TEST_F(ClipboardTest, CtrlCCopiesTheShownCodeWithTheSecretHintAndNothingWithoutOne) {
    addToken(makeToken(TokenKind::Event, u"Mail", u"EV1"));
    COtpPage* page = otpPage();
    clipboard()->setText(QStringLiteral("mine"));
    pressCtrlC(page);
    EXPECT_EQ(clipboard()->text(), QStringLiteral("mine"));

    page->onCommand(COtpPage::IDC_GO, 0);
    pressCtrlC(page);
    EXPECT_EQ(clipboard()->text(), QStringLiteral("755224"));
    const QMimeData* data = clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->data(QString::fromLatin1(CCodeClipboard::SecretHintType)), QByteArray("secret"));

    CShowOTPPage* result = showPage<CShowOTPPage>(
        pageid::ShowOtp, {QStringLiteral("112233"), QString(), QStringLiteral("Your response:")});
    pressCtrlC(result);
    EXPECT_EQ(clipboard()->text(), QStringLiteral("112233"));
}

TEST_F(ClipboardTest, TheCodeLeavesAfterTheDelayOnlyWhileTheClipboardHoldsIt) {
    struct Case {
        const char* what;
        int delaySeconds;
        bool userCopiesAfter;
        bool clearing;
        QString left;
    };
    const Case cases[] = {
        {"still there", 30, false, true, QString()},
        {"replaced by the user", 30, true, true, QStringLiteral("mine")},
        {"delay 0: never", 0, false, false, QStringLiteral("755224")},
    };
    COtpPage* page = pageWithCode();
    QTimer& timer = CCodeClipboard::instance().clearTimer();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AppSettings settings;
        settings.clipboardClearSeconds = c.delaySeconds;
        ASSERT_TRUE(AppSettings::store(settings));
        page->onCommand(COtpPage::IDC_COPY, 0);
        ASSERT_EQ(clipboard()->text(), QStringLiteral("755224"));
        if (c.userCopiesAfter)
            clipboard()->setText(QStringLiteral("mine"));
        EXPECT_EQ(timer.isActive(), c.clearing);
        if (c.clearing) {
            EXPECT_EQ(timer.interval(), c.delaySeconds * 1000);
            timer.start(0); // the delay is over
            EXPECT_TRUE(QTest::qWaitFor([&] { return !timer.isActive(); }));
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(clipboard()->text(), c.left);
    }
}

} // namespace
