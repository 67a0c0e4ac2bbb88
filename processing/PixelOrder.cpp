#include "processing/PixelOrder.h"

#include "processing/Avx2Clones.h"

// Pixel by pixel through locals, so the compiler sees no overlap and vectorises.
PANDRY_AVX2_CLONES void SwapRedAndBlue(const std::uint8_t* __restrict pFrom,
                                       std::uint8_t* __restrict pTo, std::size_t pixels) {
    for (std::size_t x = 0; x < pixels; ++x) {
        const std::uint8_t blue = pFrom[3 * x];
        const std::uint8_t green = pFrom[3 * x + 1];
        const std::uint8_t red = pFrom[3 * x + 2];
        pTo[3 * x] = red;
        pTo[3 * x + 1] = green;
        pTo[3 * x + 2] = blue;
    }
}
