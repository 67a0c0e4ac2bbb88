#pragma once

#include <array>
#include <cstdint>

// Studio-range YCbCr planes to packed 24-bit pixels (blue, green, red), written bottom-up:
// plane row 0 becomes the last output row. Read-only after BuildTables, so several threads
// may convert at once.
class CYuvToRgb {
  public:
    CYuvToRgb();
    virtual ~CYuvToRgb();

    void BuildTables();
    // width must be a multiple of 4 and height of 2; any other size converts nothing.
    void Convert(const std::uint8_t* pY, const std::uint8_t* pCb, const std::uint8_t* pCr,
                 std::uint8_t* pRgb, int width, int height) const;
    // The same bytes Convert gives with both chroma planes at 128, from the luma alone.
    void ConvertGrey(const std::uint8_t* pY, std::uint8_t* pRgb, int width, int height) const;
    // The level each channel of ConvertGrey's pixel for luma y carries (they are equal).
    std::uint8_t GreyLevel(std::uint8_t y) const { return std::uint8_t(m_greyPixel[y] & 0xFF); }

  private:
    // Blue | green << 8 | red << 16 of one pixel, by the fixed-point rule.
    std::uint32_t Pixel(std::uint8_t y, std::uint8_t cb, std::uint8_t cr) const;
    bool VectorGreyMatchesTables() const;

    std::array<std::int32_t, 256> m_crToRed{};
    std::array<std::int32_t, 256> m_cbToBlue{};
    std::array<std::int32_t, 256> m_cbToGreen{};
    std::array<std::int32_t, 256> m_crToGreen{};
    std::array<std::int32_t, 256> m_luma{};
    // The clamp table lives in the object: it cannot fail to allocate.
    std::array<std::uint8_t, 1024> m_clampBlock{};
    const std::uint8_t* m_pClamp = nullptr;  // indices -384..639
    std::array<std::uint32_t, 256> m_greyPixel{};
    bool m_bVectorGrey = false;
};
