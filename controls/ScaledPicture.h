#pragma once

#include "controls/9Image.h"
#include "controls/xImage.h"

#include <array>
#include <functional>
#include <memory>

// The scale of the pictures a surface of `surfaceScale` draws with: the 1x pictures at 1x, the 2x
// ones on every denser surface (a 3x surface is drawn at 4x and scaled down by the window).
constexpr int pictureScaleFor(int surfaceScale) {
    return surfaceScale >= 2 ? 2 : 1;
}

// One picture at every scale it is drawn for. The variant a surface needs is made on first use,
// so a screen at one scale never decodes the others; each variant is made once.
template <class Image>
class CScaledPicture {
public:
    // Makes the variant for a picture scale (1 or 2); null when there is no picture.
    using Loader = std::function<std::shared_ptr<Image>(int pictureScale)>;

    CScaledPicture() = default;
    explicit CScaledPicture(Loader load) : m_load(std::move(load)) {}

    // The variant for a surface of `surfaceScale`; null when the picture is missing.
    const std::shared_ptr<Image>& forScale(int surfaceScale) const {
        Slot& slot = m_variants[std::size_t(pictureScaleFor(surfaceScale) - 1)];
        if (!slot.made) {
            slot.made = true;
            if (m_load) {
                slot.image = m_load(pictureScaleFor(surfaceScale));
            }
        }
        return slot.image;
    }

    // Whether a variant for `surfaceScale` has been made (decoded) yet.
    bool isMade(int surfaceScale) const {
        return m_variants[std::size_t(pictureScaleFor(surfaceScale) - 1)].made;
    }

private:
    struct Slot {
        bool made = false;
        std::shared_ptr<Image> image;
    };
    Loader m_load;
    mutable std::array<Slot, 2> m_variants;
};

// PNG resource `id` at 1x and 2x.
inline CScaledPicture<CxImage> scaledPng(int id) {
    return CScaledPicture<CxImage>([id](int scale) { return CxImage::LoadPng(id, scale); });
}

// Any PNG-encoded resource at 1x and 2x.
inline CScaledPicture<CxImage> scaledPicture(resources::ResourceType type, int id) {
    return CScaledPicture<CxImage>([type, id](int scale) { return CxImage::Load(type, id, scale); });
}

// PNG resource `id` as a nine-patch at 1x and 2x; margins in logical pixels.
inline CScaledPicture<C9Image> scaledNinePatch(int id, int left, int right, int top, int bottom,
                                               bool stretchTopBottom, bool stretchSides) {
    return CScaledPicture<C9Image>([=](int scale) {
        std::shared_ptr<C9Image> image = C9Image::FromPng(id, scale);
        image->SetMargins(left, right, top, bottom);
        image->SetStretch(stretchTopBottom, stretchSides);
        return image;
    });
}
