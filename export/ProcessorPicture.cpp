#include "export/ProcessorPicture.h"

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
    // The processor's rows run bottom to top in blue, green, red order.
    if (pRgbOut == nullptr) {
        picture->rgb.resize(rowBytes * height);
        pRgbOut = picture->rgb.data();
    }
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* pFrom = picture->bgrFlipped.data() + (height - 1 - row) * rowBytes;
        std::uint8_t* pTo = pRgbOut + row * rowBytes;
        for (std::size_t x = 0; x < rowBytes; x += 3) {
            pTo[x] = pFrom[x + 2];
            pTo[x + 1] = pFrom[x + 1];
            pTo[x + 2] = pFrom[x];
        }
    }
}
