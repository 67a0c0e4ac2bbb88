#include "export/Y4mEncoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr char kFrameTag[] = "FRAME\n";
constexpr std::size_t kFrameTagBytes = sizeof kFrameTag - 1;

std::uint8_t Clamp(double value) {
    return std::uint8_t(std::clamp(std::lround(value), 0L, 255L));
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
    std::uint8_t* pU = pY + pixels;
    std::uint8_t* pV = pU + pixels;
    for (std::size_t i = 0; i < pixels; ++i) {
        const double r = pRgb[i * 3];
        const double g = pRgb[i * 3 + 1];
        const double b = pRgb[i * 3 + 2];
        pY[i] = Clamp(0.299 * r + 0.587 * g + 0.114 * b);
        pU[i] = Clamp(128 - 0.168736 * r - 0.331264 * g + 0.5 * b);
        pV[i] = Clamp(128 + 0.5 * r - 0.418688 * g - 0.081312 * b);
    }
    return m_frame;
}
