#pragma once

#include "controls/Surface.h"

#include <QColor>
#include <functional>
#include <optional>

class QWidget;

// The scale of the surface a window of device pixel ratio `ratio` paints on: 1 up to 1x, 2 up
// to 2x, then the next even number, so that 2x pictures always land on whole pixels. Where the
// ratio is not whole the window scales the surface down smoothly: a 1.5x screen shows the 2x
// pictures at three quarters, which stays sharper than the 1x ones blown up.
int surfaceScaleFor(double ratio);
// The surface scale for the screen `widget` is on.
int surfaceScaleOf(const QWidget& widget);

// Paints `widget` through a Surface of its screen's scale: `paint` draws in logical coordinates
// into a buffer first filled with `fill` (when given), and the buffer then covers the window.
void paintThroughSurface(QWidget& widget, const std::function<void(Surface&)>& paint,
                         std::optional<QColor> fill = std::nullopt);
