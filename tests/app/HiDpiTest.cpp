// Pictures at the screen's pixel ratio. The same program runs at QT_SCALE_FACTOR 1, 1.5 and 2
// (three ctest entries): at 1x and 2x every picture pixel a page shows is the picture drawn for
// that ratio, pixel for pixel; at 1.5x the pages show the 2x pictures scaled down, which must be
// much closer to them than the 1x pictures enlarged. A window that paints at 1x and lets the
// screen enlarge it fails all three.
#include "ShellTestSupport.h"
#include "pages/info/AboutPage.h"
#include "pages/otp/NumberPlate.h"
#include "pages/otp/OtpPage.h"
#include "pages/otp/SelectTokenWindow.h"
#include "resources/Resources.h"

#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <cmath>
#include <functional>

using namespace shelltest;

namespace {

// A picture resource decoded by Qt, not by the program's own reader.
QImage picture(resources::ResourceType type, int id, int scale) {
    const resources::ScaledResource found = resources::findScaled(type, id, scale);
    EXPECT_EQ(found.scale, scale) << id;
    return QImage::fromData(found.bytes.data(), int(found.bytes.size()))
        .convertToFormat(QImage::Format_ARGB32);
}

QImage grabbed(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

// `source`, a picture of `scale`, as a window at `ratio` shows it when it draws it smoothly scaled.
QImage atRatio(const QImage& source, int scale, double ratio, QSize device) {
    QImage out(device, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(ratio / scale, ratio / scale);
    painter.drawImage(QPointF(0, 0), source);
    painter.end();
    return out.convertToFormat(QImage::Format_ARGB32);
}

bool wholeRatio(double ratio) {
    return std::abs(ratio - std::round(ratio)) < 1e-6;
}

struct Difference {
    int compared = 0;
    int different = 0;
    double mean = 0; // mean absolute difference per colour channel
};

// Compares `shown` with `expected` at the same device pixels, where `expected` is opaque and
// `include` (given logical coordinates) agrees.
Difference compare(const QImage& shown, const QImage& expected, double ratio,
                   const std::function<bool(QPointF)>& include) {
    Difference d;
    double sum = 0;
    const int w = std::min(shown.width(), expected.width());
    const int h = std::min(shown.height(), expected.height());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QRgb e = expected.pixel(x, y);
            if (qAlpha(e) != 255 || !include(QPointF((x + 0.5) / ratio, (y + 0.5) / ratio)))
                continue;
            const QRgb s = shown.pixel(x, y);
            const int diff =
                std::abs(qRed(s) - qRed(e)) + std::abs(qGreen(s) - qGreen(e)) + std::abs(qBlue(s) - qBlue(e));
            ++d.compared;
            d.different += diff != 0;
            sum += diff / 3.0;
        }
    }
    d.mean = d.compared ? sum / d.compared : 0;
    return d;
}

// What a window showing `id` over its whole area must look like at `ratio`, and must not.
void expectSharp(const QImage& shown, double ratio, resources::ResourceType type, int id,
                 const std::function<bool(QPointF)>& include) {
    const QImage one = picture(type, id, 1);
    const QImage two = picture(type, id, 2);
    const QSize device = shown.size();
    if (wholeRatio(ratio) && ratio <= 2) {
        const QImage& exact = ratio < 1.5 ? one : two;
        const Difference d = compare(shown, exact, ratio, include);
        EXPECT_GT(d.compared, device.width() * device.height() / 20) << id;
        EXPECT_EQ(d.different, 0) << id << ": " << d.different << " of " << d.compared << " pixels differ";
        return;
    }
    const QImage sharp = atRatio(two, 2, ratio, device);
    const QImage blurred = atRatio(one, 1, ratio, device);
    const Difference toSharp = compare(shown, sharp, ratio, include);
    const Difference toBlurred = compare(shown, blurred, ratio, include);
    EXPECT_GT(toSharp.compared, device.width() * device.height() / 20) << id;
    EXPECT_LT(toSharp.mean, toBlurred.mean / 2)
        << id << ": " << toSharp.mean << " to the 2x picture, " << toBlurred.mean << " to the 1x one";
}

class HiDpiTest : public ShellFixture {};

TEST_F(HiDpiTest, EveryPageShowsItsBackgroundAtTheScreensRatio) {
    CMainDlg& window = openMainWindow();
    unlockWithAToken();

    for (const auto& page : createPageSet()) {
        const unsigned id = page->GetID();
        SCOPED_TRACE(testing::Message() << "page " << id);
        window.Navigate(id);
        CPage* shown = window.findPage(id);
        ASSERT_NE(shown, nullptr);
        QWidget* hwnd = shown->GetHWND();
        ASSERT_NE(hwnd, nullptr);
        // Everything but the background: the controls with their frames, the About logo.
        QList<QRect> covered;
        for (QWidget* child : hwnd->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            covered.append(child->geometry().adjusted(-4, -4, 4, 4));
        if (auto* about = dynamic_cast<CAboutPage*>(shown))
            covered.append(QRect(about->logoPosition(), QSize(60, 60)).adjusted(-4, -4, 4, 4));
        const QImage image = grabbed(*hwnd);
        const double ratio = image.devicePixelRatio();
        EXPECT_EQ(ratio, hwnd->devicePixelRatioF());
        expectSharp(image, ratio, resources::ResourceType::Png, id == pageid::Otp ? 232 : 202,
                    [&covered](QPointF at) {
                        return std::none_of(covered.begin(), covered.end(),
                                            [at](const QRect& r) { return QRectF(r).contains(at); });
                    });
    }
}

TEST_F(HiDpiTest, PictureButtonsShowTheirFaceAtTheScreensRatio) {
    CMainDlg& window = openMainWindow();
    store().markUnlocked();
    window.Navigate(pageid::Otp);
    CPage* page = window.findPage(pageid::Otp);
    ASSERT_NE(page, nullptr);
    const struct {
        int control;
        int picture;
    } buttons[] = {{COtpPage::IDC_GO, 209}, {COtpPage::IDC_COPY, 210}};
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.picture);
        QWidget* button = control(page, b.control);
        ASSERT_NE(button, nullptr);
        button->setEnabled(true);
        const QImage image = grabbed(*button);
        expectSharp(image, image.devicePixelRatio(), resources::ResourceType::Png, b.picture,
                    [](QPointF) { return true; });
    }
}

TEST_F(HiDpiTest, DigitPlateShowsTheDigitsOfTheStripAtTheScreensRatio) {
    QWidget parent;
    parent.resize(200, 40);
    CNumberPlate plate(&parent, QRect(0, 0, 150, 25));
    // Ten digits over 150 pixels: no gaps, each cell in its own place of the strip.
    plate.setCodes(u"9876543210", u"");
    parent.show();
    ASSERT_EQ(CNumberPlate::gapFor(150, 10), 0);
    const int left = CNumberPlate::leftFor(150, 10);
    const QImage image = grabbed(plate);
    const double ratio = image.devicePixelRatio();
    if (!wholeRatio(ratio) || ratio > 2)
        GTEST_SKIP() << "the plate's cells land on whole pixels only at 1x and 2x";
    const int scale = int(std::round(ratio));
    const QImage strip = picture(resources::ResourceType::Bitmap, CNumberPlate::DigitStrip, scale);
    const int cell = CNumberPlate::CellWidth * scale;
    for (int i = 0; i < 10; ++i) {
        const int digit = 9 - i;
        const QImage expected = strip.copy(digit * cell, 0, cell, CNumberPlate::CellHeight * scale);
        const QImage shown = image.copy((left + i * CNumberPlate::CellWidth) * scale, 0, cell,
                                        CNumberPlate::CellHeight * scale);
        EXPECT_EQ(shown, expected) << "digit " << digit;
    }
}

TEST_F(HiDpiTest, TokenPickerStaysInsideTheScreenAtEveryEdge) {
    CMainDlg& window = openMainWindow();
    store().markUnlocked();
    for (int i = 0; i < 30; ++i) {
        auto token = std::make_shared<COtpToken>();
        token->label = u"Token " + QString::number(i).toStdU16String();
        token->tokenName = token->label;
        token->serial = u"S" + QString::number(i).toStdU16String();
        store().tokens.push_back(token);
    }
    window.Navigate(pageid::Otp);
    auto* page = dynamic_cast<COtpPage*>(window.findPage(pageid::Otp));
    ASSERT_NE(page, nullptr);
    const QRect area = page->screen()->availableGeometry();
    // In logical pixels, whatever the ratio: the corners, the edges, and outside the screen.
    for (const QPoint& at :
         {area.topLeft(), area.topRight(), area.bottomLeft(), area.bottomRight(),
          QPoint(area.right() - 3, area.center().y()), QPoint(area.center().x(), area.bottom() - 3),
          area.bottomRight() + QPoint(60, 60), area.topLeft() - QPoint(60, 60)}) {
        page->openPicker(at);
        CSelectTokenWindow* picker = page->picker();
        ASSERT_NE(picker, nullptr);
        ASSERT_TRUE(picker->isVisible());
        EXPECT_TRUE(area.contains(picker->frameGeometry()))
            << at.x() << "," << at.y() << " gave " << picker->frameGeometry().x() << ","
            << picker->frameGeometry().y() << " " << picker->frameGeometry().width() << "x"
            << picker->frameGeometry().height() << " on " << area.width() << "x" << area.height();
        // Where it fits, the corner asked for is where it opens.
        if (area.contains(QRect(at, picker->size()))) {
            EXPECT_EQ(picker->pos(), at);
        }
        picker->hide();
    }
}

} // namespace
