#pragma once

#include "controls/Surface.h"

// A window that paints its own background on request (the work of WM_ERASEBKGND): the pages, and
// the transparent navigation bar, which passes the request on to its page. CTransparentBar
// children ask their parent through this.
class CBackgroundPainter {
public:
    virtual ~CBackgroundPainter() = default;
    // Paints the background into `dc`, in this window's own coordinates; true when painted.
    virtual bool EraseBackground(Surface& dc) = 0;
};
