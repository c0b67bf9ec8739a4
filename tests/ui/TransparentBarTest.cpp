// A transparent child paints its parent's background at its own offset, through nested bars.
#include "ui/TransparentBar.h"

#include <QWidget>
#include <gtest/gtest.h>

namespace {

// The page paints a colour that encodes the position: any offset error shows.
class Page : public QWidget, public CBackgroundPainter {
public:
    bool EraseBackground(Surface& dc) override {
        const CRect box = dc.clipBox();
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < box.right; ++x) {
                dc.fillRect({x, y, x + 1, y + 1}, rgb(x, y, 200));
            }
        }
        return true;
    }
};

// A transparent bar passes the request on, as the navigation bar does.
class Bar : public QWidget, public CTransparentBar<Bar>, public CBackgroundPainter {
public:
    using QWidget::QWidget;
    bool EraseBackground(Surface& dc) override { return DrawParentBackground(dc); }
};

class Child : public QWidget, public CTransparentBar<Child> {
public:
    using QWidget::QWidget;
};

} // namespace

TEST(TransparentBar, ChildShowsTheParentBackgroundAtItsOffset) {
    Page page;
    page.resize(100, 100);
    Child child(&page);
    child.setGeometry(7, 5, 10, 10);
    Surface dc(10, 10);
    EXPECT_TRUE(child.DrawParentBackground(dc));
    EXPECT_EQ(dc.pixel(0, 0), rgb(7, 5, 200));
    EXPECT_EQ(dc.pixel(9, 3), rgb(16, 8, 200));
    // The origin and the clip are given back unchanged.
    EXPECT_EQ(dc.windowOrigin(), (CPoint{0, 0}));
    EXPECT_EQ(dc.clipBox(), (CRect{0, 0, 10, 10}));
}

TEST(TransparentBar, OffsetsAddUpThroughATransparentBar) {
    Page page;
    page.resize(100, 100);
    Bar bar(&page);
    bar.setGeometry(20, 30, 60, 20);
    Child button(&bar);
    button.setGeometry(3, 4, 5, 5);
    Surface dc(5, 5);
    dc.intersectClip({1, 1, 3, 3});
    EXPECT_TRUE(button.DrawParentBackground(dc));
    EXPECT_EQ(dc.pixel(1, 1), rgb(24, 35, 200));
    EXPECT_EQ(dc.pixel(0, 0), rgb(0, 0, 0)); // outside the clip: untouched
}

TEST(TransparentBar, ParentWithoutABackgroundOfItsOwnGivesItsWindowColour) {
    QWidget plain;
    QPalette palette = plain.palette();
    palette.setColor(QPalette::Window, QColor(12, 34, 56));
    plain.setPalette(palette);
    Child child(&plain);
    Surface dc(3, 3);
    EXPECT_TRUE(child.DrawParentBackground(dc));
    EXPECT_EQ(dc.pixel(2, 2), rgb(12, 34, 56));

    Child orphan;
    EXPECT_FALSE(orphan.DrawParentBackground(dc));
}
