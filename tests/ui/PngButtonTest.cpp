// CPngButton driven by the mouse and keyboard: faces, borders, commands, tooltip.
#include "ui/PngButton.h"

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t kPage = rgb(30, 60, 90);

// A page that paints one flat colour as its background and records the keys that reach it.
class Page : public QWidget, public CBackgroundPainter {
public:
    bool EraseBackground(Surface& dc) override {
        dc.fillRect(dc.clipBox(), kPage);
        return true;
    }
    QList<int> keys;

protected:
    void keyPressEvent(QKeyEvent* event) override { keys.append(event->key()); }
};

class PngButtonTest : public testing::Test {
protected:
    void SetUp() override {
        page.resize(200, 120);
        button = new CPngButton(&page, 101);
        button->setText(QStringLiteral("&Login"));
        button->move(40, 30);
        page.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
        // Park the pointer away from the button, and the focus, which the first tab stop of a
        // new window receives, on the page.
        QTest::mouseMove(&page, QPoint(5, 5));
        page.setFocusPolicy(Qt::StrongFocus);
        page.setFocus();
        QTRY_VERIFY(!button->hasFocus());
    }

    // What the button paints now on a surface of `scale`.
    std::vector<std::uint32_t> painted(int scale = 1) {
        Surface dc(button->width() * scale, button->height() * scale, rgb(0, 0, 0), scale);
        button->PaintTo(dc);
        return pixels(dc);
    }

    // The page colour with `face` drawn at (offset, offset): what a correct paint gives.
    std::vector<std::uint32_t> expected(const CxImage& face, int offset = 0, int scale = 1) {
        Surface dc(button->width() * scale, button->height() * scale, kPage, scale);
        face.Draw(dc, offset, offset);
        return pixels(dc);
    }

    static std::vector<std::uint32_t> pixels(const Surface& dc) {
        std::vector<std::uint32_t> out;
        for (int y = 0; y < dc.height(); ++y) {
            out.insert(out.end(), dc.scanLine(y), dc.scanLine(y) + dc.width());
        }
        return out;
    }

    QPoint centre() const { return button->rect().center(); }

    Page page;
    CPngButton* button = nullptr;
};

} // namespace

TEST_F(PngButtonTest, TakesTheNormalFaceSizeAndShowsItAtRest) {
    ASSERT_TRUE(button->SetImages(209, 210, 211));
    EXPECT_EQ(button->size(), QSize(51, 51));
    EXPECT_EQ(button->pos(), QPoint(40, 30));
    EXPECT_EQ(painted(), expected(*CxImage::LoadPng(209)));
}

TEST_F(PngButtonTest, MissingNormalFaceLeavesOnlyTheBackground) {
    button->resize(30, 20);
    EXPECT_FALSE(button->SetImages(9999, 210, 211));
    EXPECT_EQ(button->size(), QSize(30, 20));
    EXPECT_EQ(painted(), std::vector<std::uint32_t>(30 * 20, kPage));
}

TEST_F(PngButtonTest, MissingHoverAndPressedFacesFallBackToTheNormalFace) {
    ASSERT_TRUE(button->SetImages(209, 9998, 9999));
    QTest::mouseMove(button, centre());
    QTRY_VERIFY(button->state() & CPngButton::MouseOver);
    EXPECT_EQ(painted(), expected(*CxImage::LoadPng(209)));
    QTest::mousePress(button, Qt::LeftButton, {}, centre());
    EXPECT_EQ(painted(), expected(*CxImage::LoadPng(209), 1));
    QTest::mouseRelease(button, Qt::LeftButton, {}, centre());
}

TEST_F(PngButtonTest, HoverFaceWhileTheMouseIsOver) {
    ASSERT_TRUE(button->SetImages(209, 210, 211));
    QTest::mouseMove(button, centre());
    QTRY_VERIFY(button->state() & CPngButton::MouseOver);
    EXPECT_EQ(painted(), expected(*CxImage::LoadPng(210)));
    QTest::mouseMove(&page, QPoint(5, 5));
    QTRY_VERIFY(!(button->state() & CPngButton::MouseOver));
    EXPECT_EQ(painted(), expected(*CxImage::LoadPng(209)));
}

TEST_F(PngButtonTest, ClickSendsExactlyOneCommand) {
    ASSERT_TRUE(button->SetImages(209, 209, 211));
    QSignalSpy commands(button, &CPngButton::command);
    QTest::mouseMove(button, centre());
    QTest::mousePress(button, Qt::LeftButton, {}, centre());
    EXPECT_EQ(painted(), expected(*CxImage::LoadPng(211), 1));
    EXPECT_EQ(commands.count(), 0);
    QTest::mouseRelease(button, Qt::LeftButton, {}, centre());
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands.first().first().toInt(), 101);
    EXPECT_FALSE(button->state() & CPngButton::Pressed);
    // A click does not take the focus.
    EXPECT_FALSE(button->hasFocus());
}

TEST_F(PngButtonTest, DraggingOutShowsTheNormalFaceAndReleasingOutsideSendsNothing) {
    ASSERT_TRUE(button->SetImages(209, 209, 211));
    QSignalSpy commands(button, &CPngButton::command);
    QTest::mouseMove(button, centre());
    QTest::mousePress(button, Qt::LeftButton, {}, centre());
    ASSERT_TRUE(button->state() & CPngButton::Pressed);

    QTest::mouseMove(button, QPoint(70, 70));
    QTRY_VERIFY(!(button->state() & CPngButton::Pressed));
    EXPECT_EQ(painted(), expected(*CxImage::LoadPng(209)));
    // Back inside shows the pressed face again...
    QTest::mouseMove(button, centre());
    QTRY_VERIFY(button->state() & CPngButton::Pressed);
    // ...and out again, then release: nothing is sent.
    QTest::mouseMove(button, QPoint(-10, 20));
    QTRY_VERIFY(!(button->state() & CPngButton::Pressed));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(-10, 20));
    EXPECT_EQ(commands.count(), 0);
}

TEST_F(PngButtonTest, SpaceIsIgnoredOtherKeysReachThePage) {
    ASSERT_TRUE(button->SetImages(209, 209, 211));
    QSignalSpy commands(button, &CPngButton::command);
    button->setFocus();
    QTRY_VERIFY(button->hasFocus());
    QTest::keyClick(button, Qt::Key_Space);
    EXPECT_EQ(commands.count(), 0);
    EXPECT_FALSE(button->state() & CPngButton::Pressed);
    EXPECT_FALSE(page.keys.contains(Qt::Key_Space));
    QTest::keyClick(button, Qt::Key_Return);
    EXPECT_EQ(commands.count(), 0);
    EXPECT_TRUE(page.keys.contains(Qt::Key_Return));
}

TEST_F(PngButtonTest, DisabledShowsALighterGreyFaceAndIgnoresClicks) {
    ASSERT_TRUE(button->SetImages(209, 209, 211));
    QSignalSpy commands(button, &CPngButton::command);
    button->setEnabled(false);

    CxImage disabled(*CxImage::LoadPng(209));
    disabled.GrayScale();
    disabled.Gamma(2.0);
    const std::vector<std::uint32_t> shown = painted();
    EXPECT_EQ(shown, expected(disabled));
    // Transparent corners stay transparent; the middle is grey and lighter than plain grey.
    EXPECT_EQ(shown[0], kPage);
    const std::uint32_t middle = shown[8 * 51 + 25]; // blue, above the arrow
    EXPECT_EQ(redOf(middle), greenOf(middle));
    EXPECT_EQ(greenOf(middle), blueOf(middle));
    const std::uint32_t normal = CxImage::LoadPng(209)->GetPixelColor(25, 8);
    EXPECT_GT(redOf(middle), (306 * redOf(normal) + 601 * greenOf(normal) + 117 * blueOf(normal)) >> 10);

    QTest::mouseClick(button, Qt::LeftButton, {}, centre());
    EXPECT_EQ(commands.count(), 0);
    button->setEnabled(true);
    QTest::mouseClick(button, Qt::LeftButton, {}, centre());
    EXPECT_EQ(commands.count(), 1);
}

TEST_F(PngButtonTest, SingleBorderOnlyWhileHoveredOrPressed) {
    ASSERT_TRUE(button->SetImages(218, 218, 218));
    button->SetExtendedStyle(CPngButton::Border3dSingle, CPngButton::Border3dSingle);
    EXPECT_EQ(button->GetExtendedStyle(), unsigned(CPngButton::Hover | CPngButton::Border3dSingle));
    const QPalette& palette = button->palette();
    const auto colour = [&palette](QPalette::ColorRole role) {
        const QColor c = palette.color(QPalette::Active, role);
        return rgb(c.red(), c.green(), c.blue());
    };
    const std::vector<std::uint32_t> plain = expected(*CxImage::LoadPng(218));
    EXPECT_EQ(painted(), plain);

    QTest::mouseMove(button, centre());
    QTRY_VERIFY(button->state() & CPngButton::MouseOver);
    std::vector<std::uint32_t> shown = painted();
    EXPECT_EQ(shown[0], colour(QPalette::Light));          // raised: light top left
    EXPECT_EQ(shown[24 * 24 - 1], colour(QPalette::Dark)); // dark bottom right
    EXPECT_EQ(shown[12 * 24 + 12], plain[12 * 24 + 12]);   // the face inside is untouched

    QTest::mousePress(button, Qt::LeftButton, {}, centre());
    shown = painted();
    EXPECT_EQ(shown[0], colour(QPalette::Dark)); // sunken: the other way round
    EXPECT_EQ(shown[24 * 24 - 1], colour(QPalette::Light));
    QTest::mouseRelease(button, Qt::LeftButton, {}, centre());

    QTest::mouseMove(&page, QPoint(5, 5));
    QTRY_VERIFY(!(button->state() & CPngButton::MouseOver));
    EXPECT_EQ(painted(), plain);
}

TEST_F(PngButtonTest, OutsideHoverModeTheFocusShowsTheHoverFaceAndAFocusRectangle) {
    ASSERT_TRUE(button->SetImages(209, 210, 211));
    button->SetExtendedStyle(CPngButton::Border3dDouble);
    const std::vector<std::uint32_t> unfocused = painted();
    button->setFocus();
    QTRY_VERIFY(button->state() & CPngButton::Focus);
    const std::vector<std::uint32_t> focused = painted();
    // Hover face inside, and the dotted rectangle 4 pixels in: every other pixel inverted.
    std::vector<std::uint32_t> hover = expected(*CxImage::LoadPng(210));
    EXPECT_EQ(focused[10 * 51 + 25], hover[10 * 51 + 25]);
    EXPECT_EQ(focused[4 * 51 + 4], (~hover[4 * 51 + 4] & 0xffffffu) | 0xff000000u);
    EXPECT_NE(focused, unfocused);
    // The raised double border is always there outside hover mode.
    EXPECT_EQ(focused[0], unfocused[0]);
    EXPECT_NE(unfocused[0], expected(*CxImage::LoadPng(209))[0]);
}

TEST_F(PngButtonTest, TabDrawsAFocusRingThatOtherFocusDoesNot) {
    ASSERT_TRUE(button->SetImages(209, 209, 211));
    const QColor c = button->palette().color(QPalette::Active, QPalette::Highlight);
    const std::uint32_t ring = rgb(c.red(), c.green(), c.blue());
    const std::vector<std::uint32_t> plain = expected(*CxImage::LoadPng(209));

    button->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(button->state() & CPngButton::Focus);
    EXPECT_EQ(painted(), plain);

    page.setFocus();
    QTRY_VERIFY(!button->hasFocus());
    QTest::keyClick(&page, Qt::Key_Tab);
    QTRY_VERIFY(button->hasFocus());
    const std::vector<std::uint32_t> shown = painted();
    for (const auto& [x, y] : {std::pair{0, 0}, {25, 1}, {50, 25}, {25, 49}, {1, 25}})
        EXPECT_EQ(shown[std::size_t(y * 51 + x)], ring) << x << "," << y;
    EXPECT_EQ(shown[25 * 51 + 25], plain[25 * 51 + 25]);

    page.setFocus();
    QTRY_VERIFY(!button->hasFocus());
    EXPECT_EQ(painted(), plain);
}

TEST_F(PngButtonTest, ADisabledButtonShowsNoHoverBorderAndNoTooltip) {
    ASSERT_TRUE(button->SetImages(218, 218, 218));
    button->SetExtendedStyle(CPngButton::Border3dSingle, CPngButton::Border3dSingle);
    const auto askForTooltip = [this] {
        QHelpEvent help(QEvent::ToolTip, centre(), button->mapToGlobal(centre()));
        QApplication::sendEvent(button, &help);
        return QToolTip::isVisible() && QToolTip::text() == button->toolTip();
    };

    button->setEnabled(false);
    const std::vector<std::uint32_t> resting = painted();
    QTest::mouseMove(button, centre());
    QEnterEvent enter(centre(), button->mapTo(&page, centre()), button->mapToGlobal(centre()));
    QApplication::sendEvent(button, &enter);
    EXPECT_FALSE(button->state() & CPngButton::MouseOver);
    EXPECT_EQ(painted(), resting);
    EXPECT_FALSE(askForTooltip());

    button->setEnabled(true);
    EXPECT_TRUE(askForTooltip());
    QToolTip::hideText();
}

TEST_F(PngButtonTest, TooltipIsTheCaptionWithoutMnemonicMarks) {
    ASSERT_TRUE(button->SetImages(209, 209, 211));
    EXPECT_EQ(button->toolTip(), QStringLiteral("Login"));
    const struct {
        const char* caption;
        const char* tip;
    } cases[] = {
        {"Change Token... (F2)", "Change Token... (F2)"}, {"Save && &Exit", "Save & Exit"}, {"&", ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(CPngButton::stripMnemonics(QString::fromUtf8(c.caption)), QString::fromUtf8(c.tip));
    }
}

TEST(PngButtonReplace, TakesThePlaceOfADialogButton) {
    QWidget dialog;
    auto* before = new QPushButton(QStringLiteral("before"), &dialog);
    auto* old = new QPushButton(QStringLiteral("&Go"), &dialog);
    auto* after = new QPushButton(QStringLiteral("after"), &dialog);
    old->setObjectName(QStringLiteral("go"));
    old->setGeometry(10, 20, 80, 30);
    old->setEnabled(false);
    QWidget::setTabOrder(before, old);
    QWidget::setTabOrder(old, after);

    CPngButton* png = CPngButton::replace(old, 101);
    EXPECT_EQ(png->parentWidget(), &dialog);
    EXPECT_EQ(png->objectName(), QStringLiteral("go"));
    EXPECT_EQ(png->text(), QStringLiteral("&Go"));
    EXPECT_EQ(png->geometry(), QRect(10, 20, 80, 30));
    EXPECT_FALSE(png->isEnabled());
    EXPECT_EQ(png->controlId(), 101);
    EXPECT_EQ(dialog.findChildren<QPushButton*>().size(), 2);
    EXPECT_EQ(before->nextInFocusChain(), png);
    EXPECT_EQ(png->nextInFocusChain(), after);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

TEST_F(PngButtonTest, DrawsEachFaceFromThePictureOfTheSurfacesScale) {
    ASSERT_TRUE(button->SetImages(209, 210, 211));
    EXPECT_EQ(button->size(), QSize(51, 51));
    const std::shared_ptr<CxImage> normal = CxImage::LoadPng(209, 2);
    ASSERT_EQ(normal->scale(), 2);
    EXPECT_EQ(painted(2), expected(*normal, 0, 2));
    // The 1x face doubled is not what a dense screen gets.
    EXPECT_NE(painted(2), expected(*CxImage::LoadPng(209), 0, 2));
    // The grey face is made from the 2x picture too.
    button->setEnabled(false);
    CxImage grey(*normal);
    grey.GrayScale();
    grey.Gamma(2.0);
    EXPECT_EQ(painted(2), expected(grey, 0, 2));
    // And the 1x surface still gets the 1x faces.
    button->setEnabled(true);
    EXPECT_EQ(painted(1), expected(*CxImage::LoadPng(209)));
}
