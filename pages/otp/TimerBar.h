#pragma once

#include "controls/ScaledPicture.h"
#include "ui/TransparentBar.h"

#include <QWidget>
#include <memory>

// The countdown bar under the code: a nine-patch track (PNG 217) with a red part from the left
// that grows as the position runs down from the range to 0.
class CTimerBar : public QWidget, public CTransparentBar<CTimerBar> {
    Q_OBJECT

public:
    static constexpr int Track = 217;

    // Created on `rect` of its parent, then made as tall as the track picture.
    CTimerBar(QWidget* parent, const QRect& rect);

    void setRange(int max);
    // `erase` tells whether the track is drawn again first; here every paint draws the whole bar,
    // which gives the same pixels, since a shrinking red part always comes with an erase.
    void setPos(int pos, bool erase);
    int range() const { return m_range; }
    int position() const { return m_position; }

    // The width of the red part in a bar `width` pixels wide.
    static int redWidth(int range, int position, int width);

    void PaintTo(Surface& dc);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CScaledPicture<C9Image> m_track;
    int m_range = 0;
    int m_position = 0;
};
