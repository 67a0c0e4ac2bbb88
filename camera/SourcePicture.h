#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// A picture a source hands the sampler, borrowed, in the layout it arrived in: blue, green and
// red bytes in any packed order, or luma and chroma samples (planar, semi-planar, packed 4:2:2
// or grey alone), so that no whole picture is converted before the few pixels the sensor reads.
// Every channel is 8 bits.

// Where one channel's samples lie. Pixel (x, y) reads the sample at
// origin + (y >> yShift) * rowStride + (x >> xShift) * step.
struct PictureChannel {
    const std::uint8_t* origin = nullptr;
    std::size_t rowStride = 0;
    std::uint8_t step = 0;  // 0: one sample serves every pixel (the neutral chroma of grey)
    std::uint8_t xShift = 0;
    std::uint8_t yShift = 0;
};

// How luma and chroma become blue, green and red: the matrix's red and blue weights and whether
// the samples use the full 0..255 range or the studio range (luma 16..235).
struct YuvColorimetry {
    double kr = 0.299;  // BT.601
    double kb = 0.114;
    bool fullRange = false;
    bool operator==(const YuvColorimetry&) const = default;
};

// How a chroma sample shared by two pixels along an axis is spread over them before they are
// converted: repeated, or interpolated between the samples about the pixel, the samples lying
// midway between their two pixels (centred) or on the first of them (cosited).
enum class ChromaSpread : std::uint8_t { kRepeated, kCentred, kCosited };

struct SourcePicture {
    enum class Encoding : std::uint8_t { kBgr, kYuv };

    Encoding encoding = Encoding::kBgr;
    int width = 0;
    int height = 0;
    // Blue, green, red; or luma, blue-difference, red-difference chroma.
    std::array<PictureChannel, 3> channel{};
    YuvColorimetry colorimetry;                     // kYuv only
    ChromaSpread across = ChromaSpread::kRepeated;  // kYuv with chroma for two pixels only
    ChromaSpread down = ChromaSpread::kRepeated;

    // Rows of blue, green, red bytes, `stride` bytes apart (a decoded picture file).
    static SourcePicture Bgr(const std::uint8_t* bgr, int width, int height, std::size_t stride);

    // Every channel one byte of a pixel of `step` bytes in rows `rowStride` apart: the layout the
    // sampler reads fastest.
    bool IsPacked() const;
    std::uint8_t PixelStep() const { return channel[0].step; }
    std::size_t RowStride() const { return channel[0].rowStride; }
};

// The channel's sample under pixel (x, y).
inline std::uint8_t SampleAt(const PictureChannel& channel, int x, int y) {
    return channel.origin[std::size_t(y >> channel.yShift) * channel.rowStride +
                          std::size_t(x >> channel.xShift) * channel.step];
}
