// The AVI clip reader on arbitrary bytes.
#include "controls/AviClip.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::optional<CAviClip> clip = CAviClip::Parse({data, size});
    if (clip) {
        // Every frame must hold exactly width x height pixels.
        for (int i = 0; i < clip->frameCount(); ++i) {
            if (clip->frame(i).size() != std::size_t(clip->width()) * std::size_t(clip->height())) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
