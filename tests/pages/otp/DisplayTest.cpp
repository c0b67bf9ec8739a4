// The digit plate and the countdown bar alone, checked on their rendered pixels.
#include "OtpTestSupport.h"
#include "pages/otp/SelectTokenWindow.h"

using namespace otptest;

namespace {

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApplication();
        m_parentWindow = std::make_unique<QWidget>();
        m_parentWindow->resize(400, 200);
        m_parent = m_parentWindow.get();
        m_strip = CxImage::Load(resources::ResourceType::Bitmap, CNumberPlate::DigitStrip);
        ASSERT_TRUE(m_strip);
    }

    // The strip's pixel (x, y) of `cell`.
    QRgb stripPixel(int cell, int x, int y) const {
        return m_strip->GetPixelColor(cell * CNumberPlate::CellWidth + x, y) & 0xffffff;
    }

    std::unique_ptr<QWidget> m_parentWindow;
    QWidget* m_parent = nullptr;
    std::shared_ptr<CxImage> m_strip;
};

TEST_F(DisplayTest, PlateIsOneCellHighAndSpacesEightDigitsAsTheFormulaSays) {
    CNumberPlate plate(m_parent, QRect(0, 0, 200, 16));
    EXPECT_EQ(plate.geometry(), QRect(0, 0, 200, 25));
    EXPECT_EQ(CNumberPlate::gapFor(200, 8), 8);
    EXPECT_EQ(CNumberPlate::leftFor(200, 8), 12);

    plate.setCodes(u"01234567", u"99999999");
    const QImage image = plate.grab().toImage();
    ASSERT_EQ(image.size(), QSize(200, 25));

    // Digit i stands at 12 + i * 23 and is cell i of the strip; all else is the background tile,
    // laid from x = 0 in steps of 15.
    for (int y = 0; y < 25; ++y) {
        for (int x = 0; x < 200; ++x) {
            const int fromFirst = x - 12;
            const int slot = fromFirst >= 0 ? fromFirst / 23 : -1;
            const int inSlot = fromFirst >= 0 ? fromFirst % 23 : -1;
            const bool onDigit = slot >= 0 && slot < 8 && inSlot < 15;
            const QRgb expected = onDigit ? stripPixel(slot, inSlot, y) : stripPixel(11, x % 15, y);
            ASSERT_EQ(image.pixel(x, y) & 0xffffff, expected) << "x " << x << " y " << y;
        }
    }
}

TEST_F(DisplayTest, DualLineDoublesTheHeightAroundTheSameCentreAndDrawsTheSecondCode) {
    CNumberPlate plate(m_parent, QRect(10, 50, 200, 26));
    ASSERT_EQ(plate.geometry(), QRect(10, 50, 200, 25)); // centre (50 + 75) / 2 = 62

    plate.setDualLine(true);
    EXPECT_TRUE(plate.isDualLine());
    EXPECT_EQ(plate.geometry(), QRect(10, 37, 200, 50));

    plate.setCodes(u"12", u"34");
    const QImage image = plate.grab().toImage();
    const int left = CNumberPlate::leftFor(200, 2);
    const int step = CNumberPlate::gapFor(200, 2) + CNumberPlate::CellWidth;
    for (int y = 0; y < 25; ++y) {
        for (int dx = 0; dx < 15; ++dx) {
            ASSERT_EQ(image.pixel(left + dx, y) & 0xffffff, stripPixel(1, dx, y));
            ASSERT_EQ(image.pixel(left + step + dx, 25 + y) & 0xffffff, stripPixel(4, dx, y));
        }
    }

    plate.setDualLine(true); // no change
    EXPECT_EQ(plate.geometry(), QRect(10, 37, 200, 50));
    plate.setDualLine(false);
    EXPECT_EQ(plate.geometry(), QRect(10, 50, 200, 25));
    // One line again: the second code is not drawn.
    const QImage single = plate.grab().toImage();
    EXPECT_EQ(single.height(), 25);
}

TEST_F(DisplayTest, PlateSkipsCharactersThatAreNoCell) {
    CNumberPlate plate(m_parent, QRect(0, 0, 60, 25));
    plate.setCodes(u"/", u"");
    const QImage image = plate.grab().toImage();
    for (int x = 0; x < 60; ++x)
        ASSERT_EQ(image.pixel(x, 12) & 0xffffff, stripPixel(11, x % 15, 12)) << x;
    EXPECT_EQ(plate.topCode(), u"/");
}

bool isRed(QRgb c) {
    return (c & 0xffffff) == 0xff0000;
}

TEST_F(DisplayTest, TimerBarFillsRangeMinusPositionOverRangeInRed) {
    CTimerBar bar(m_parent, QRect(0, 100, 312, 2));
    EXPECT_EQ(bar.height(), 4); // the track's height

    bar.setRange(30);
    bar.setPos(20, false);
    QImage image = bar.grab().toImage();
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 312; ++x)
            ASSERT_EQ(isRed(image.pixel(x, y)), x < 104) << "x " << x << " y " << y;
    }

    bar.setPos(0, false);
    image = bar.grab().toImage();
    EXPECT_TRUE(isRed(image.pixel(311, 2)));

    // A longer period, red grows back from empty.
    bar.setRange(180);
    bar.setPos(180, true);
    image = bar.grab().toImage();
    for (int x = 0; x < 312; ++x)
        ASSERT_FALSE(isRed(image.pixel(x, 2))) << x;

    EXPECT_EQ(CTimerBar::redWidth(0, 5, 312), 0);
    EXPECT_EQ(CTimerBar::redWidth(7, 6, 300), 42); // multiplication before division
    EXPECT_EQ(CTimerBar::redWidth(INT32_MAX, 0, 312), 312);
}

struct FilterCase {
    const char16_t* text;
    const char16_t* filter;
    bool matches;
};

TEST(PickerFilter, MatchesWordByWordIgnoringCase) {
    const FilterCase cases[] = {
        {u"xabx ycdy", u"ab cd", true},
        {u"ycdy xabx", u"ab cd", false},
        {u"xabx", u"ab cd", false},
        {u"xabx ycdy zz", u"ab cd", true},
        {u"lab", u"AB", true},
        {u"LAB", u"ab", true},
        {u"\u00c4rger", u"\u00e4r", true},
        {u"Mail", u"", true},
        {u"Mail", u"   ", true},
        {u"Mail", u"  ai  ", true},
        {u"Mail", u"x", false},
        {u"", u"x", false},
        {u"a  b", u"a b", false}, // empty words of the name count
        {u"a  b", u"a  b", false},
        {u"ab cd", u" ab   cd ", true},
    };
    for (const FilterCase& c : cases) {
        EXPECT_EQ(CSelectTokenWindow::matches(QString::fromUtf16(c.text), QString::fromUtf16(c.filter)),
                  c.matches)
            << QString::fromUtf16(c.text).toStdString() << " / "
            << QString::fromUtf16(c.filter).toStdString();
    }
}

} // namespace
