#include "camera/YuvToBgr.h"

#include <cmath>

namespace {

// A sample less 128, its byte repeated into a signed 16-bit word.
std::int16_t Widened(int sample) {
    const unsigned byte = unsigned(sample - 128) & 0xffu;
    return std::int16_t(std::uint16_t((byte << 8) | byte));
}

// The weight of one matrix entry scaled by 256 and rounded. The steps and their order are
// GStreamer's (the input range's scale taken as a float, the output's 255, then 256), so that
// an entry landing near a half rounds the same way.
int Weight(double entry, double inputScale) {
    const double perLevel = double(1.0f / float(inputScale));
    return int(std::rint(256.0 * (255.0 * (entry * perLevel))));
}

}  // namespace

CYuvToBgr::CYuvToBgr(const YuvColorimetry& colorimetry) : m_colorimetry(colorimetry) {
    const double kr = colorimetry.kr;
    const double kb = colorimetry.kb;
    const double kg = 1.0 - kr - kb;
    const double lumaScale = colorimetry.fullRange ? 255.0 : 219.0;
    const double chromaScale = colorimetry.fullRange ? 255.0 : 224.0;
    const int luma = Weight(1.0, lumaScale);
    const int redFromCr = Weight(2 * (1 - kr), chromaScale);
    const int blueFromCb = Weight(2 * (1 - kb), chromaScale);
    const int greenFromCb = Weight(-2 * kb * (1 - kb) / kg, chromaScale);
    const int greenFromCr = Weight(-2 * kr * (1 - kr) / kg, chromaScale);
    for (int sample = 0; sample < 256; ++sample) {
        const int widened = Widened(sample);
        auto term = [&](int weight) { return std::int16_t((widened * weight) >> 16); };
        m_luma[std::size_t(sample)] = term(luma);
        m_blueFromCb[std::size_t(sample)] = term(blueFromCb);
        m_greenFromCb[std::size_t(sample)] = term(greenFromCb);
        m_greenFromCr[std::size_t(sample)] = term(greenFromCr);
        m_redFromCr[std::size_t(sample)] = term(redFromCr);
    }
}
