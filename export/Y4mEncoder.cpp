#include "export/Y4mEncoder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "processing/Avx2Clones.h"

namespace {

constexpr char kFrameTag[] = "FRAME\n";
constexpr std::size_t kFrameTagBytes = sizeof kFrameTag - 1;

// Full-range BT.601 weights in 1/65536ths, rounded to nearest by the added half.
constexpr std::int32_t kHalf = 1 << 15;
constexpr std::int32_t kChromaZero = 128 << 16;

std::uint8_t Clamp(std::int32_t fixed) {
    return std::uint8_t(std::clamp(fixed >> 16, 0, 255));
}

// The picture and the planes never overlap; saying so lets the loop be vectorised.
PANDRY_AVX2_CLONES void RgbToYuv444(const std::uint8_t* __restrict pRgb,
                                    std::uint8_t* __restrict pY, std::uint8_t* __restrict pU,
                                    std::uint8_t* __restrict pV, std::size_t pixels) {
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::int32_t r = pRgb[i * 3];
        const std::int32_t g = pRgb[i * 3 + 1];
        const std::int32_t b = pRgb[i * 3 + 2];
        pY[i] = Clamp(19595 * r + 38470 * g + 7471 * b + kHalf);
        pU[i] = Clamp(kChromaZero - 11059 * r - 21709 * g + 32768 * b + kHalf);
        pV[i] = Clamp(kChromaZero + 32768 * r - 27439 * g - 5329 * b + kHalf);
    }
}

}  // namespace

std::string CY4mEncoder::Header(int width, int height, bool grey, double framesPerSecond) const {
    const long thousandths = std::max(1L, std::lround(framesPerSecond * 1000));
    return "YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) + " F" +
           std::to_string(thousandths) + ":1000 Ip A1:1 " +
           (grey ? "Cmono" : "C444 XCOLORRANGE=FULL") + "\n";
}

const std::vector<std::uint8_t>& CY4mEncoder::Frame(const Picture& picture) {
    const std::size_t pixels = std::size_t(picture.width) * picture.height;
    const std::size_t planes = picture.grey ? 1 : 3;
    m_frame.resize(kFrameTagBytes + pixels * planes);
    std::memcpy(m_frame.data(), kFrameTag, kFrameTagBytes);
    std::uint8_t* pY = m_frame.data() + kFrameTagBytes;
    const std::uint8_t* pRgb = picture.rgb.data();
    if (picture.grey) {
        for (std::size_t i = 0; i < pixels; ++i) {
            pY[i] = pRgb[i * 3];
        }
        return m_frame;
    }
    RgbToYuv444(pRgb, pY, pY + pixels, pY + 2 * pixels, pixels);
    return m_frame;
}
