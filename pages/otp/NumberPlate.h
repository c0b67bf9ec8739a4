#pragma once

#include "controls/ScaledPicture.h"
#include "controls/Surface.h"

#include <QWidget>
#include <memory>
#include <string>

// The digit display: a code drawn from the digit strip (bitmap 216, cells of 15 x 25 pixels:
// digits 0 to 9, a dash, the background tile) spread evenly over the width, with an optional
// second line for the second code of a pair.
class CNumberPlate : public QWidget {
    Q_OBJECT

public:
    static constexpr int DigitStrip = 216;
    static constexpr int CellWidth = 15;
    static constexpr int CellHeight = 25;
    static constexpr int BackgroundCell = 11;

    // Created on `rect` of its parent (parent coordinates), then made one line high.
    CNumberPlate(QWidget* parent, const QRect& rect);

    // Stores both codes and repaints at once.
    void setCodes(const std::u16string& top, const std::u16string& bottom);
    // One line (25 pixels) or two (50), around the same vertical centre; the parent repaints the
    // area the plate leaves. Nothing happens when the mode does not change.
    void setDualLine(bool on);
    std::u16string topCode() const { return m_top; }
    std::u16string bottomCode() const { return m_bottom; }
    bool isDualLine() const { return m_dual; }

    // The whole plate into `dc`, background and digits (WM_ERASEBKGND followed by WM_PAINT).
    void PaintTo(Surface& dc) const;

    // Where a code of `count` digits starts in a plate `width` pixels wide, and the gap between
    // its digits (spacing comes from the upper code's length).
    static int gapFor(int width, int count);
    static int leftFor(int width, int count);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void eraseBackground(Surface& dc, const CxImage& strip) const;
    void drawLine(Surface& dc, const CxImage& strip, const std::u16string& code, int y, int left,
                  int gap) const;
    void drawCell(Surface& dc, const CxImage& strip, int cell, int x, int y) const;

    CScaledPicture<CxImage> m_strip;
    int m_cellCount = 0;
    std::u16string m_top;
    std::u16string m_bottom;
    bool m_dual = false;
};
