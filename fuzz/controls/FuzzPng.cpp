// PNG decoding of arbitrary bytes, then every drawing operation on whatever decodes.
#include "controls/9Image.h"
#include "controls/xImage.h"
#include "fuzz/PngChecksums.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> bytes(data, data + size);
    // Odd sizes keep the checksums as they came, so the checksum test itself is fuzzed too.
    if (size % 2 == 0) {
        fixPngChecksums(bytes);
    }
    const std::shared_ptr<CxImage> image = CxImage::Decode(bytes);
    if (!image) {
        return 0;
    }
    Surface dc(40, 30, rgb(10, 20, 30));
    dc.setWindowOrigin({-3, -2});
    image->Draw(dc, -5, -4);
    image->Tile(dc, {0, 0, 37, 29});
    image->Stretch(dc, {1, 1, 30, 9});
    C9Image nine(*image);
    nine.SetMargins(2, 3, 4, 5);
    nine.SetStretch(true, false);
    nine.Draw(dc, {0, 0, 35, 25});
    nine.SetStretch(false, true);
    nine.Draw(dc, {2, 2, 4, 4});
    CxImage part;
    image->Crop(1, 1, image->GetWidth() - 1, image->GetHeight() + 3, part);
    part.GrayScale();
    part.Gamma(2.0);
    part.Draw(dc, 0, 0);
    return 0;
}
