#include "export/ProcessorPicture.h"

#include <cstring>

namespace {

// Pixel by pixel through locals, so the compiler sees no overlap and vectorises.
void SwapRedAndBlue(const std::uint8_t* __restrict pFrom, std::uint8_t* __restrict pTo,
                    std::size_t pixels) {
    for (std::size_t x = 0; x < pixels; ++x) {
        const std::uint8_t blue = pFrom[3 * x];
        const std::uint8_t green = pFrom[3 * x + 1];
        const std::uint8_t red = pFrom[3 * x + 2];
        pTo[3 * x] = red;
        pTo[3 * x + 1] = green;
        pTo[3 * x + 2] = blue;
    }
}

}  // namespace

void TakeProcessorPicture(CFrameProcessor& processor, bool remapped, bool grey, Picture* picture,
                          std::uint8_t* pRgbOut) {
    const int width = remapped ? processor.Width() : kRings;
    const int height = remapped ? processor.Height() : kSectors;
    const std::size_t rowBytes = std::size_t(width) * 3;
    picture->width = width;
    picture->height = height;
    picture->grey = grey;
    picture->bgrFlipped.resize(rowBytes * height);
    if (remapped) {
        processor.RemappedToRgb(picture->bgrFlipped.data());
    } else {
        processor.RawToRgb(picture->bgrFlipped.data());
    }
    // The processor's rows run bottom to top in blue, green, red order. A grey picture's
    // channels are equal, so only its rows need turning over: one copy per row.
    if (pRgbOut == nullptr) {
        picture->rgb.resize(rowBytes * height);
        pRgbOut = picture->rgb.data();
    }
    const std::uint8_t* pBottomUp = picture->bgrFlipped.data();
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* pFrom = pBottomUp + std::size_t(height - 1 - row) * rowBytes;
        std::uint8_t* pTo = pRgbOut + std::size_t(row) * rowBytes;
        if (grey) {
            std::memcpy(pTo, pFrom, rowBytes);
        } else {
            SwapRedAndBlue(pFrom, pTo, std::size_t(width));
        }
    }
}
