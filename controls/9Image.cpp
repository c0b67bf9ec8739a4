#include "controls/9Image.h"

std::shared_ptr<C9Image> C9Image::FromPng(int id, int scale) {
    // The decoded picture is ours alone: moved, not copied.
    const std::shared_ptr<CxImage> picture = LoadPng(id, scale);
    return picture ? std::make_shared<C9Image>(std::move(*picture)) : std::make_shared<C9Image>();
}

void C9Image::SetMargins(int left, int right, int top, int bottom) {
    m_left = left;
    m_right = right;
    m_top = top;
    m_bottom = bottom;
}

void C9Image::drawPiece(Surface& dc, const CRect& source, const CRect& target, bool stretch) const {
    // The pieces are cut anew on every paint; the pictures are small and frames are few.
    CxImage piece;
    if (!Crop(source.left, source.top, source.right, source.bottom, piece)) {
        return;
    }
    if (stretch) {
        piece.Stretch(dc, target);
    } else {
        piece.Tile(dc, target);
    }
}

void C9Image::Draw(Surface& dc, const CRect& r) const {
    if (!IsValid()) {
        return;
    }
    // Targets are logical; pieces are cut in pixels, margins times the picture's scale.
    const int w = GetWidth();
    const int h = GetHeight();
    const int lw = logicalWidth();
    const int lh = logicalHeight();
    const int l = m_left;
    const int rt = m_right;
    const int t = m_top;
    const int b = m_bottom;
    const int pl = l * scale();
    const int pr = rt * scale();
    const int pt = t * scale();
    const int pb = b * scale();

    CxImage::Draw(dc, r.left, r.top, CRect{r.left, r.top, r.left + l, r.top + t});
    drawPiece(dc, {pl, 0, w - pr, pt}, {r.left + l, r.top, r.right - rt, r.top + t}, m_stretchTopBottom);
    CxImage::Draw(dc, r.right - lw, r.top, CRect{r.right - rt, r.top, r.right, r.top + t});

    drawPiece(dc, {0, pt, pl, h - pb}, {r.left, r.top + t, r.left + l, r.bottom - b}, m_stretchSides);
    drawPiece(dc, {pl, pt, w - pr, h - pb}, {r.left + l, r.top + t, r.right - rt, r.bottom - b},
              m_stretchSides);
    drawPiece(dc, {w - pr, pt, w, h - pb}, {r.right - rt, r.top + t, r.right, r.bottom - b}, m_stretchSides);

    CxImage::Draw(dc, r.left, r.bottom - lh, CRect{r.left, r.bottom - b, r.left + l, r.bottom});
    drawPiece(dc, {pl, h - pb, w - pr, h}, {r.left + l, r.bottom - b, r.right - rt, r.bottom},
              m_stretchTopBottom);
    // The corner crop has the target's size, so tiling and stretching agree but for alpha.
    drawPiece(dc, {w - pr, h - pb, w, h}, {r.right - rt, r.bottom - b, r.right, r.bottom},
              m_stretchTopBottom);
}
