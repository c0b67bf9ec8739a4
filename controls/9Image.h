#pragma once

#include "controls/xImage.h"

#include <memory>
#include <utility>

// A nine-patch image: four unscaled corners, edges and centre tiled or stretched to fill a
// rectangle of any size. Margins count logical pixels from each side of the picture (twice as many
// pixels in a 2x picture).
class C9Image : public CxImage {
public:
    C9Image() = default;
    explicit C9Image(const CxImage& image) : CxImage(image) {}
    explicit C9Image(CxImage&& image) : CxImage(std::move(image)) {}
    ~C9Image() override = default;

    // PNG resource `id` (drawn for `scale`, see CxImage::Load) as a nine-patch; an empty one
    // (which draws nothing) when it is missing.
    static std::shared_ptr<C9Image> FromPng(int id, int scale = 1);

    virtual void SetMargins(int left, int right, int top, int bottom);
    using CxImage::Draw;
    // Fills `rect` with the frame; stretched pieces ignore alpha, tiled pieces and corners blend.
    virtual void Draw(Surface& dc, const CRect& rect) const;
    // false means tile.
    void SetStretch(bool stretchTopBottom, bool stretchSides) {
        m_stretchTopBottom = stretchTopBottom;
        m_stretchSides = stretchSides;
    }

    int leftMargin() const { return m_left; }
    int rightMargin() const { return m_right; }
    int topMargin() const { return m_top; }
    int bottomMargin() const { return m_bottom; }
    bool stretchTopBottom() const { return m_stretchTopBottom; }
    bool stretchSides() const { return m_stretchSides; }

private:
    void drawPiece(Surface& dc, const CRect& source, const CRect& target, bool stretch) const;

    int m_left = 3;
    int m_right = 3;
    int m_top = 3;
    int m_bottom = 3;
    bool m_stretchTopBottom = false; // top and bottom edges, bottom-right corner
    bool m_stretchSides = false;     // left and right edges, centre
};
