#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "viewer/HistogramImage.h"

namespace {

std::vector<std::uint8_t> Plot(const HistogramCounts& counts) {
    std::vector<std::uint8_t> image(kHistogramImageBytes, 0);
    PlotHistogram(counts, image.data());
    return image;
}

const std::uint8_t* Pixel(const std::vector<std::uint8_t>& image, int row, int level) {
    return image.data() + row * 768 + level * 3;
}

bool IsWhite(const std::uint8_t* p) {
    return p[0] == 255 && p[1] == 255 && p[2] == 255;
}

int DotsInColumn(const std::vector<std::uint8_t>& image, int level) {
    int dots = 0;
    for (int row = 0; row < kHistogramRows; ++row) {
        dots += IsWhite(Pixel(image, row, level)) ? 0 : 1;
    }
    return dots;
}

struct RowCase {
    int count;
    int row;  // -1: no dot
};

void PrintTo(const RowCase& c, std::ostream* os) {
    *os << c.count << " samples";
}

class HistogramRowTest : public ::testing::TestWithParam<RowCase> {};

// Catches an off-by-one at the plot's ends (rows 0 and 100 are never drawn).
TEST_P(HistogramRowTest, CountGivesRow) {
    HistogramCounts counts = {};
    counts[0][40] = GetParam().count;
    const auto image = Plot(counts);
    if (GetParam().row < 0) {
        EXPECT_EQ(DotsInColumn(image, 40), 0);
        return;
    }
    EXPECT_EQ(DotsInColumn(image, 40), 1);
    const std::uint8_t* p = Pixel(image, GetParam().row, 40);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[1], 0);
    EXPECT_EQ(p[2], 255);
}

INSTANTIATE_TEST_SUITE_P(Counts, HistogramRowTest,
                         ::testing::Values(RowCase{0, -1}, RowCase{9, -1}, RowCase{10, 1},
                                           RowCase{19, 1}, RowCase{500, 50}, RowCase{999, 99},
                                           RowCase{1000, -1}, RowCase{38304, -1}));

// Catches a plot that is not cleared to white, or that dots a frame of one level.
TEST(HistogramImage, FlatMonoFrameIsAllWhite) {
    HistogramCounts counts = {};
    counts[0][128] = 38304;
    const auto image = Plot(counts);
    EXPECT_EQ(std::vector<std::uint8_t>(kHistogramImageBytes, 255), image);
}

// Catches swapped channel colours or a wrong drawing order where dots meet.
TEST(HistogramImage, ChannelColoursAndOverwriteOrder) {
    HistogramCounts counts = {};
    counts[0][1] = 100;
    counts[1][2] = 100;
    counts[2][3] = 100;
    counts[0][4] = counts[1][4] = counts[2][4] = 250;
    const auto image = Plot(counts);
    const std::uint8_t kRed[3] = {0, 0, 255}, kGreen[3] = {0, 255, 0}, kBlue[3] = {255, 0, 0};
    EXPECT_EQ(std::memcmp(Pixel(image, 10, 1), kRed, 3), 0);
    EXPECT_EQ(std::memcmp(Pixel(image, 10, 2), kGreen, 3), 0);
    EXPECT_EQ(std::memcmp(Pixel(image, 10, 3), kBlue, 3), 0);
    EXPECT_EQ(std::memcmp(Pixel(image, 25, 4), kBlue, 3), 0);
}

}  // namespace
