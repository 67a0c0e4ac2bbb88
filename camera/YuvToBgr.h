#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "camera/SourcePicture.h"

// Luma and chroma to blue, green and red by the integer arithmetic of GStreamer's own conversion
// (videoconvert's), so that a picture sampled from its planes gives the bytes it gave when each
// frame was converted whole first. Each sample less 128 is widened to 16 bits by repeating its
// byte, multiplied by its weight (the matrix scaled by 256, rounded) keeping the high 16 bits;
// the terms are summed, held to -128..127 and moved back up by 128. The offsets of the studio
// range are not applied, as there: its white comes out 253. (processing's CYuvToRgb is this
// system's own rule for its frames; this one must give GStreamer's bytes, and camera/ does
// not lean on processing/.)
class CYuvToBgr {
  public:
    explicit CYuvToBgr(const YuvColorimetry& colorimetry);

    const YuvColorimetry& Colorimetry() const { return m_colorimetry; }

    std::uint8_t Blue(std::uint8_t y, std::uint8_t cb) const {
        return Saturated(m_luma[y] + m_blueFromCb[cb]);
    }
    std::uint8_t Green(std::uint8_t y, std::uint8_t cb, std::uint8_t cr) const {
        return Saturated(m_luma[y] + m_greenFromCb[cb] + m_greenFromCr[cr]);
    }
    std::uint8_t Red(std::uint8_t y, std::uint8_t cr) const {
        return Saturated(m_luma[y] + m_redFromCr[cr]);
    }

  private:
    using Terms = std::array<std::int16_t, 256>;
    static std::uint8_t Saturated(int sum) {
        return std::uint8_t(std::clamp(sum, -128, 127) + 128);
    }

    YuvColorimetry m_colorimetry;
    Terms m_luma{};
    Terms m_blueFromCb{};
    Terms m_greenFromCb{};
    Terms m_greenFromCr{};
    Terms m_redFromCr{};
};

// The chroma sample under pixel `x` of a line `length` pixels long whose samples each serve
// 1 << `shift` pixels, `at(k)` reading sample k: repeated, or spread over two pixels as
// GStreamer's conversion spreads it, with its weights, rounding and edges (the first pixel,
// and a last one with no sample after it, take their own sample).
template <ChromaSpread kSpread, typename At>
int SpreadChroma(int x, int length, int shift, const At& at) {
    const int k = x >> shift;
    if constexpr (kSpread == ChromaSpread::kCentred) {
        if (x == 0 || (x == length - 1 && (x & 1) != 0)) {
            return at(k);
        }
        return (x & 1) != 0 ? (3 * at(k) + at(k + 1) + 2) >> 2 : (at(k - 1) + 3 * at(k) + 2) >> 2;
    } else if constexpr (kSpread == ChromaSpread::kCosited) {
        if ((x & 1) == 0 || x == length - 1) {
            return at(k);
        }
        return (at(k) + at(k + 1) + 1) >> 1;
    } else {
        return at(k);
    }
}

// The chroma of `channel` under pixel (x, y) of a width x height picture, spread along each
// axis as told: across each sample row first, then down between the rows so spread.
template <ChromaSpread kAcross, ChromaSpread kDown>
std::uint8_t ChromaAt(const PictureChannel& channel, int x, int y, int width, int height) {
    return std::uint8_t(SpreadChroma<kDown>(y, height, channel.yShift, [&](int row) {
        const std::uint8_t* samples = channel.origin + std::size_t(row) * channel.rowStride;
        return SpreadChroma<kAcross>(x, width, channel.xShift, [&](int k) {
            return int(samples[std::size_t(k) * channel.step]);
        });
    }));
}
