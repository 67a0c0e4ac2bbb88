#include "processing/YuvToRgb.h"

#include <array>

#include "processing/GreyExpansion.h"

namespace {

constexpr int kClampBias = 384;

// Stores a 32-bit word least significant byte first, whatever the host's byte order.
void StoreWord(std::uint8_t* pOut, std::uint32_t word) {
    pOut[0] = static_cast<std::uint8_t>(word);
    pOut[1] = static_cast<std::uint8_t>(word >> 8);
    pOut[2] = static_cast<std::uint8_t>(word >> 16);
    pOut[3] = static_cast<std::uint8_t>(word >> 24);
}

// Four packed pixels (b | g << 8 | r << 16) as the three words of their twelve bytes.
void StoreFourPixels(std::uint8_t* pOut, std::uint32_t p0, std::uint32_t p1, std::uint32_t p2,
                     std::uint32_t p3) {
    StoreWord(pOut, p0 | p1 << 24);
    StoreWord(pOut + 4, p1 >> 8 | p2 << 16);
    StoreWord(pOut + 8, p2 >> 16 | p3 << 8);
}

bool IsConvertibleSize(int width, int height) {
    return width > 0 && height > 0 && width % 4 == 0 && height % 2 == 0;
}

}  // namespace

CYuvToRgb::CYuvToRgb() = default;

CYuvToRgb::~CYuvToRgb() = default;

void CYuvToRgb::BuildTables() {
    for (int i = 0; i < 256; ++i) {
        m_crToRed[i] = 104597 * (i - 128);
        m_cbToBlue[i] = 132201 * (i - 128);
        m_cbToGreen[i] = 25675 * (i - 128);
        m_crToGreen[i] = 53279 * (i - 128);
        m_luma[i] = 76309 * (i - 16);
    }
    for (int n = -kClampBias; n < 1024 - kClampBias; ++n) {
        m_clampBlock[n + kClampBias] = static_cast<std::uint8_t>(n < 0 ? 0 : n > 255 ? 255 : n);
    }
    m_pClamp = m_clampBlock.data() + kClampBias;
    for (int i = 0; i < 256; ++i) {
        m_greyPixel[i] = Pixel(static_cast<std::uint8_t>(i), 128, 128);
    }
    m_bVectorGrey = VectorGreyMatchesTables();
}

// The vector grey path is used only if it gives every level exactly as the tables do.
bool CYuvToRgb::VectorGreyMatchesTables() const {
    if (!GreyExpansionAvailable()) {
        return false;
    }
    std::array<std::uint8_t, 256> levels;
    for (int i = 0; i < 256; ++i) {
        levels[i] = static_cast<std::uint8_t>(i);
    }
    std::array<std::uint8_t, 256 * 3> bgr{};
    if (ExpandGreyPixels(levels.data(), bgr.data(), 256) != 256) {
        return false;
    }
    for (int i = 0; i < 256; ++i) {
        const std::uint32_t pixel = bgr[3 * i] | bgr[3 * i + 1] << 8 | bgr[3 * i + 2] << 16;
        if (pixel != m_greyPixel[i]) {
            return false;
        }
    }
    return true;
}

std::uint32_t CYuvToRgb::Pixel(std::uint8_t y, std::uint8_t cb, std::uint8_t cr) const {
    const std::int32_t luma = m_luma[y];
    const std::uint32_t blue = m_pClamp[(luma + m_cbToBlue[cb]) >> 16];
    const std::uint32_t green = m_pClamp[(luma - m_crToGreen[cr] - m_cbToGreen[cb]) >> 16];
    const std::uint32_t red = m_pClamp[(luma + m_crToRed[cr]) >> 16];
    return blue | green << 8 | red << 16;
}

void CYuvToRgb::Convert(const std::uint8_t* pY, const std::uint8_t* pCb, const std::uint8_t* pCr,
                        std::uint8_t* pRgb, int width, int height) const {
    if (m_pClamp == nullptr || !IsConvertibleSize(width, height)) {
        return;
    }
    const std::size_t rowBytes = std::size_t(width) * 3;
    for (int row = 0; row < height; row += 2) {
        // Plane rows 2p and 2p + 1 go to output rows height - 1 - 2p and height - 2 - 2p.
        std::uint8_t* pOut0 = pRgb + std::size_t(height - 1 - row) * rowBytes;
        std::uint8_t* pOut1 = pOut0 - rowBytes;
        const std::size_t in0 = std::size_t(row) * width;
        const std::size_t in1 = in0 + std::size_t(width);
        for (int x = 0; x < width; x += 4) {
            const std::size_t a = in0 + x;
            const std::size_t b = in1 + x;
            StoreFourPixels(pOut0 + std::size_t(x) * 3, Pixel(pY[a], pCb[a], pCr[a]),
                            Pixel(pY[a + 1], pCb[a + 1], pCr[a + 1]),
                            Pixel(pY[a + 2], pCb[a + 2], pCr[a + 2]),
                            Pixel(pY[a + 3], pCb[a + 3], pCr[a + 3]));
            StoreFourPixels(pOut1 + std::size_t(x) * 3, Pixel(pY[b], pCb[b], pCr[b]),
                            Pixel(pY[b + 1], pCb[b + 1], pCr[b + 1]),
                            Pixel(pY[b + 2], pCb[b + 2], pCr[b + 2]),
                            Pixel(pY[b + 3], pCb[b + 3], pCr[b + 3]));
        }
    }
}

void CYuvToRgb::ConvertGrey(const std::uint8_t* pY, std::uint8_t* pRgb, int width,
                            int height) const {
    if (m_pClamp == nullptr || !IsConvertibleSize(width, height)) {
        return;
    }
    const std::size_t rowBytes = std::size_t(width) * 3;
    const std::uint32_t* pGrey = m_greyPixel.data();
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* pIn = pY + std::size_t(row) * width;
        std::uint8_t* pOut = pRgb + std::size_t(height - 1 - row) * rowBytes;
        int x = m_bVectorGrey ? ExpandGreyPixels(pIn, pOut, width) : 0;
        pOut += std::size_t(x) * 3;
        for (; x < width; x += 4, pOut += 12) {
            StoreFourPixels(pOut, pGrey[pIn[x]], pGrey[pIn[x + 1]], pGrey[pIn[x + 2]],
                            pGrey[pIn[x + 3]]);
        }
    }
}
