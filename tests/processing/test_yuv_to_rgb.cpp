#include <gtest/gtest.h>

#include <array>
#include <random>
#include <tuple>

#include "processing/YuvToRgb.h"

namespace {

struct Bgr {
    int blue, green, red;
    bool operator==(const Bgr&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Bgr& p) {
    return out << "(" << p.blue << ", " << p.green << ", " << p.red << ")";
}

int Clamp(int v) {
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

// The single-pixel rule, written independently of the converter's tables.
Bgr Reference(int y, int cb, int cr) {
    const int luma = 76309 * (y - 16);
    return {Clamp((luma + 132201 * (cb - 128)) >> 16),
            Clamp((luma - 53279 * (cr - 128) - 25675 * (cb - 128)) >> 16),
            Clamp((luma + 104597 * (cr - 128)) >> 16)};
}

class Converter : public ::testing::Test {
  protected:
    void SetUp() override { m_converter.BuildTables(); }

    // Converts one 4 x 2 block whose pixels are all (y, cb, cr) and returns pixel 0.
    Bgr One(int y, int cb, int cr) const {
        std::array<std::uint8_t, 8> py, pcb, pcr;
        py.fill(std::uint8_t(y));
        pcb.fill(std::uint8_t(cb));
        pcr.fill(std::uint8_t(cr));
        std::array<std::uint8_t, 24> out{};
        m_converter.Convert(py.data(), pcb.data(), pcr.data(), out.data(), 4, 2);
        return {out[0], out[1], out[2]};
    }

    CYuvToRgb m_converter;
};

// Catches a wrong luma offset or factor, or a rounding term where none belongs.
TEST_F(Converter, NeutralChromaGivesGreyLevels) {
    const std::pair<int, int> levels[] = {{0, 0},     {16, 0},    {17, 1},   {128, 130},
                                          {235, 254}, {236, 255}, {255, 255}};
    for (auto [y, level] : levels) {
        EXPECT_EQ(One(y, 128, 128), (Bgr{level, level, level})) << "Y " << y;
    }
}

// Catches swapped chroma tables or a missing clamp at either end.
TEST_F(Converter, ExtremeChromaClamps) {
    EXPECT_EQ(One(128, 0, 255), (Bgr{0, 77, 255}));
    EXPECT_EQ(One(128, 255, 0), (Bgr{255, 184, 0}));
}

// Catches rows not written bottom-up: plane row 0 must land in the last output row.
TEST_F(Converter, FourByTwoPlacesRowZeroLast) {
    std::array<std::uint8_t, 8> y{17, 17, 17, 17, 236, 236, 236, 236};
    std::array<std::uint8_t, 8> chroma;
    chroma.fill(128);
    std::array<std::uint8_t, 24> out{};
    m_converter.Convert(y.data(), chroma.data(), chroma.data(), out.data(), 4, 2);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(out[i], 255) << "byte " << i;
        EXPECT_EQ(out[12 + i], 1) << "byte " << 12 + i;
    }
}

// Catches pixels of a step or pass taking another pixel's chroma, or misplaced words.
TEST_F(Converter, EveryPixelFollowsTheRuleWithItsOwnSamples) {
    constexpr int kWidth = 16;
    constexpr int kHeight = 6;
    std::mt19937 random(5);
    std::array<std::uint8_t, kWidth * kHeight> y, cb, cr;
    for (int i = 0; i < kWidth * kHeight; ++i) {
        y[i] = std::uint8_t(random());
        cb[i] = std::uint8_t(random());
        cr[i] = std::uint8_t(random());
    }
    std::array<std::uint8_t, kWidth * kHeight * 3> out{};
    m_converter.Convert(y.data(), cb.data(), cr.data(), out.data(), kWidth, kHeight);
    for (int row = 0; row < kHeight; ++row) {
        for (int x = 0; x < kWidth; ++x) {
            const int i = row * kWidth + x;
            const std::size_t o = (std::size_t(kHeight - 1 - row) * kWidth + x) * 3;
            EXPECT_EQ((Bgr{out[o], out[o + 1], out[o + 2]}), Reference(y[i], cb[i], cr[i]))
                << "row " << row << " column " << x;
        }
    }
}

class GreyPath : public ::testing::TestWithParam<std::pair<int, int>> {};

// Catches the grey fast path (vector part and the scalar tail of a row) giving any byte
// other than the full converter's; every level 0..255 occurs in every size.
TEST_P(GreyPath, EqualsFullConversionForEveryLevel) {
    const auto [width, height] = GetParam();
    CYuvToRgb converter;
    converter.BuildTables();
    const std::size_t pixels = std::size_t(width) * height;
    std::vector<std::uint8_t> y(pixels), chroma(pixels, 128);
    for (std::size_t i = 0; i < pixels; ++i) {
        y[i] = std::uint8_t(i % 2 == 0 ? i / 2 : 255 - i / 2);
    }
    std::vector<std::uint8_t> full(pixels * 3, 0), grey(pixels * 3, 1);
    converter.Convert(y.data(), chroma.data(), chroma.data(), full.data(), width, height);
    converter.ConvertGrey(y.data(), grey.data(), width, height);
    EXPECT_EQ(grey, full);
}

INSTANTIATE_TEST_SUITE_P(Sizes, GreyPath,
                         ::testing::Values(std::pair{256, 2}, std::pair{152, 252},
                                           std::pair{4, 128}, std::pair{20, 26},
                                           std::pair{512, 512}));

class UnconvertibleSize : public ::testing::TestWithParam<std::pair<int, int>> {};

// Catches a conversion that writes past its buffer for a size it cannot walk.
TEST_P(UnconvertibleSize, ConvertsNothing) {
    CYuvToRgb converter;
    converter.BuildTables();
    const auto [width, height] = GetParam();
    std::array<std::uint8_t, 64> planes{};
    std::array<std::uint8_t, 64 * 3> out;
    out.fill(7);
    converter.Convert(planes.data(), planes.data(), planes.data(), out.data(), width, height);
    converter.ConvertGrey(planes.data(), out.data(), width, height);
    EXPECT_EQ(std::count(out.begin(), out.end(), 7), long(out.size()));
}

INSTANTIATE_TEST_SUITE_P(Sizes, UnconvertibleSize,
                         ::testing::Values(std::pair{0, 2}, std::pair{4, 0}, std::pair{-4, 2},
                                           std::pair{4, -2}, std::pair{6, 2}, std::pair{4, 3}));

}  // namespace
