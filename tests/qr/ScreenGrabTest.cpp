// The screen grab finds a code a window shows, and says why when the session cannot be read.
#include "qr/ScreenGrab.h"

#include "qr/QrCodes.h"

#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

const std::string kUri = "otpauth://totp/Screen:carol?secret=JBSWY3DPEHPK3PXP&period=60";

// A window that shows one picture, as a web page would show the code to scan.
class PictureWindow : public QRasterWindow {
public:
    explicit PictureWindow(QImage picture) : m_picture(std::move(picture)) {
        resize(m_picture.size() + QSize(60, 60));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(QRect(QPoint(), size()), Qt::white);
        painter.drawImage(30, 30, m_picture);
    }

private:
    QImage m_picture;
};

class ScreenGrabTest : public testing::Test {
protected:
    void SetUp() override {
        if (!QGuiApplication::instance()) {
            static int argc = 1;
            static char name[] = "valdorix-test";
            static char* argv[] = {name, nullptr};
            new QGuiApplication(argc, argv);
        }
        m_session = qgetenv("XDG_SESSION_TYPE");
        qunsetenv("XDG_SESSION_TYPE");
    }
    void TearDown() override {
        if (m_session.isNull())
            qunsetenv("XDG_SESSION_TYPE");
        else
            qputenv("XDG_SESSION_TYPE", m_session);
    }

private:
    QByteArray m_session;
};

TEST_F(ScreenGrabTest, FindsTheCodeAWindowShows) {
    PictureWindow window(encodeQrCode(kUri, 4));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const ScreenGrabResult grab = grabScreen();
    ASSERT_TRUE(grab.error.isEmpty()) << grab.error.toStdString();
    EXPECT_EQ(decodeQrCodes(grab.image), std::vector<std::string>{kUri});
}

TEST_F(ScreenGrabTest, SaysWhyWhenTheScreenCannotBeRead) {
    {
        SCOPED_TRACE("nothing on the screen: the grab is all one colour");
        // One plain window over the whole screen: an empty offscreen screen hands back memory
        // nobody painted, which is only black by chance.
        PictureWindow blank{QImage()};
        blank.setFlags(Qt::FramelessWindowHint);
        blank.setGeometry(QGuiApplication::primaryScreen()->geometry());
        blank.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&blank));
        const ScreenGrabResult grab = grabScreen();
        EXPECT_TRUE(grab.image.isNull());
        EXPECT_TRUE(grab.error.contains(QStringLiteral("blank"))) << grab.error.toStdString();
        EXPECT_TRUE(grab.error.contains(QStringLiteral("import the picture"))) << grab.error.toStdString();
    }
    {
        SCOPED_TRACE("a Wayland session, even with a window showing a code");
        PictureWindow window(encodeQrCode(kUri, 4));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        qputenv("XDG_SESSION_TYPE", "wayland");
        const ScreenGrabResult grab = grabScreen();
        EXPECT_TRUE(grab.image.isNull());
        EXPECT_TRUE(grab.error.contains(QStringLiteral("Wayland"))) << grab.error.toStdString();
        EXPECT_TRUE(grab.error.contains(QStringLiteral("import the picture"))) << grab.error.toStdString();
    }
}

} // namespace
