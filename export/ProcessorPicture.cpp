#include "export/ProcessorPicture.h"

#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "processing/ColorProcessor.h"
#include "processing/MonoProcessor.h"
#include "processing/PixelOrder.h"
#include "processing/YuvToRgb.h"

namespace {

const CYuvToRgb& GreyConverter() {
    static const std::unique_ptr<CYuvToRgb> converter = [] {
        auto built = std::make_unique<CYuvToRgb>();
        built->BuildTables();
        return built;
    }();  // read-only once built: any thread may convert
    return *converter;
}

// The black-and-white remapped picture straight into the caller's buffer, top row first:
// in one pass from the frame where the processor has one, else from the output plane, where
// the converter writes bottom-up, so it is given the luma turned over, a third of the bytes
// the RGB would be. False (nothing written) for any other processor.
bool TakeGreyTopDown(CFrameProcessor& processor, std::uint8_t* pRgbOut, bool streamed) {
    auto* pMono = dynamic_cast<CMonoProcessor*>(&processor);
    if (pMono != nullptr && pMono->RemappedToTopDownRgb(pRgbOut, streamed)) {
        return true;
    }
    if (pMono == nullptr || pMono->OutputPlane(0) == nullptr) {
        return false;
    }
    thread_local std::vector<std::uint8_t> turned;
    const int width = processor.Width();
    const int height = processor.Height();
    turned.resize(std::size_t(width) * height);
    const std::uint8_t* pLuma = pMono->OutputPlane(0);
    for (int row = 0; row < height; ++row) {
        std::memcpy(turned.data() + std::size_t(height - 1 - row) * width,
                    pLuma + std::size_t(row) * width, std::size_t(width));
    }
    GreyConverter().ConvertGrey(turned.data(), pRgbOut, width, height);
    return true;
}

// The colour picture straight into the caller's buffer, top row first, red first: one pass
// from the colour frame. False (nothing written) for any other processor.
bool TakeColorTopDown(CFrameProcessor& processor, bool remapped, std::uint8_t* pRgbOut,
                      bool streamed) {
    auto* pColor = dynamic_cast<CColorProcessor*>(&processor);
    if (pColor == nullptr || !pColor->IsConfigured()) {
        return false;
    }
    if (remapped) {
        pColor->RemappedToTopDownRgb(pRgbOut, streamed);
    } else {
        pColor->RawToTopDownRgb(pRgbOut);
    }
    return true;
}

}  // namespace

bool StreamsPicture(const CFrameProcessor& processor, bool remapped) {
    const auto* pMono = dynamic_cast<const CMonoProcessor*>(&processor);
    const auto* pColor = dynamic_cast<const CColorProcessor*>(&processor);
    return remapped && ((pMono != nullptr && pMono->HasOnePassRemap()) ||
                        (pColor != nullptr && pColor->StreamsRemappedPicture()));
}

void TakeProcessorPicture(CFrameProcessor& processor, bool remapped, bool grey, Picture* picture,
                          std::uint8_t* pRgbOut, bool streamed) {
    const int width = remapped ? processor.Width() : kRings;
    const int height = remapped ? processor.Height() : kSectors;
    const std::size_t rowBytes = std::size_t(width) * 3;
    picture->width = width;
    picture->height = height;
    picture->grey = grey;
    picture->bgrFlipped.clear();  // made below only where the top-down picture is not
    if (pRgbOut == nullptr) {
        picture->rgb.resize(rowBytes * height);
        pRgbOut = picture->rgb.data();
    }
    if (grey ? remapped && TakeGreyTopDown(processor, pRgbOut, streamed)
             : TakeColorTopDown(processor, remapped, pRgbOut, streamed)) {
        return;
    }
    picture->bgrFlipped.resize(rowBytes * height);
    if (remapped) {
        processor.RemappedToRgb(picture->bgrFlipped.data());
    } else {
        processor.RawToRgb(picture->bgrFlipped.data());
    }
    // The processor's rows run bottom to top in blue, green, red order. A grey picture's
    // channels are equal, so only its rows need turning over: one copy per row.
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

void TakeGreyProcessorPicture(CFrameProcessor& processor, bool remapped, std::uint8_t* pGreyOut) {
    auto* pMono = dynamic_cast<CMonoProcessor*>(&processor);
    if (remapped && pMono != nullptr && pMono->OutputPlane(0) != nullptr) {
        // Straight from the luma (top row first) through the converter's grey levels: a
        // third of the bytes and no RGB in between.
        static const std::array<std::uint8_t, 256> levels = [] {
            std::array<std::uint8_t, 256> built{};
            for (int y = 0; y < 256; ++y) {
                built[y] = GreyConverter().GreyLevel(std::uint8_t(y));
            }
            return built;
        }();
        const int width = processor.Width();
        const int height = processor.Height();
        const std::uint8_t* pLuma = pMono->OutputPlane(0);
        for (int row = 0; row < height; ++row) {
            const std::uint8_t* pFrom = pLuma + std::size_t(row) * width;
            std::uint8_t* pTo = pGreyOut + std::size_t(row) * width;
            for (int x = 0; x < width; ++x) {
                pTo[x] = levels[pFrom[x]];
            }
        }
        return;
    }
    thread_local Picture picture;
    TakeProcessorPicture(processor, remapped, true, &picture);
    const std::size_t pixels = std::size_t(picture.width) * picture.height;
    for (std::size_t i = 0; i < pixels; ++i) {
        pGreyOut[i] = picture.rgb[3 * i];
    }
}
