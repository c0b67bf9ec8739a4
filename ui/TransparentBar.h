#pragma once

#include "controls/BackgroundPainter.h"
#include "controls/Surface.h"

#include <QPalette>
#include <QWidget>

// Mix-in for a child window that looks transparent: it asks its parent to paint the parent's
// background into the child's own surface before drawing itself. T is the child widget class.
template <typename T>
class CTransparentBar {
public:
    // Paints the parent's background into `dc` (which draws for the child at its (0, 0)) by moving
    // the window origin to the child's place in the parent; returns what the parent returned.
    // `rect` only says what the caller needs; the parent always paints everything it covers.
    bool DrawParentBackground(Surface& dc, const CRect* rect = nullptr) {
        (void)rect;
        QWidget* self = static_cast<T*>(this);
        QWidget* parent = self->parentWidget();
        if (parent == nullptr) {
            return false;
        }
        const Surface::State saved = dc.save();
        dc.offsetWindowOrigin(self->x(), self->y());
        bool painted = true;
        if (auto* painter = dynamic_cast<CBackgroundPainter*>(parent)) {
            painted = painter->EraseBackground(dc);
        } else {
            // A parent without a background of its own: what the window system would erase with.
            const QColor c = parent->palette().color(parent->backgroundRole());
            dc.fillRect(dc.clipBox(), rgb(c.red(), c.green(), c.blue()));
        }
        dc.restore(saved);
        return painted;
    }
};
