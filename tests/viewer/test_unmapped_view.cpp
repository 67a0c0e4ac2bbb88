#include <gtest/gtest.h>

#include <vector>

#include "viewer/UnmappedView.h"

namespace {

// An upright RawToRgb picture whose pixel for (sector, ring) encodes both.
std::vector<std::uint8_t> Upright() {
    std::vector<std::uint8_t> picture(152 * 252 * 3);
    for (int row = 0; row < 252; ++row) {
        const int sector = 251 - row;  // bottom-up: the first row is the last sector
        for (int ring = 0; ring < 152; ++ring) {
            std::uint8_t* p = &picture[(row * 152 + ring) * 3];
            p[0] = std::uint8_t(sector);
            p[1] = std::uint8_t(ring);
            p[2] = 7;
        }
    }
    return picture;
}

struct Corner {
    const char* name;
    int screenX;
    int screenY;  // from the top of the turned picture
    int sector;
    int ring;
};

void PrintTo(const Corner& c, std::ostream* os) {
    *os << c.name;
}

class UnmappedCornerTest : public ::testing::TestWithParam<Corner> {};

// Catches a turn in the wrong direction or a mirrored axis.
TEST_P(UnmappedCornerTest, CornerShowsItsSample) {
    const auto upright = Upright();
    std::vector<std::uint8_t> turned(upright.size());
    TurnUnmapped(upright.data(), turned.data());
    const Corner& c = GetParam();
    const int bufferRow = 151 - c.screenY;  // the turned picture is bottom-up too
    const std::uint8_t* p = &turned[(bufferRow * 252 + c.screenX) * 3];
    EXPECT_EQ(p[0], c.sector) << c.name;
    EXPECT_EQ(p[1], c.ring) << c.name;
    EXPECT_EQ(p[2], 7) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Corners, UnmappedCornerTest,
                         ::testing::Values(Corner{"top right", 251, 0, 0, 0},
                                           Corner{"top left", 0, 0, 251, 0},
                                           Corner{"bottom right", 251, 151, 0, 151},
                                           Corner{"bottom left", 0, 151, 251, 151}));

// Catches centring on the wrong band or a size not doubled when zoomed.
TEST(UnmappedView, DestinationIsCentredBelowTheFrameTop) {
    EXPECT_EQ(UnmappedDestination({0, 0, 256, 307}, 33, false), (ViewerRect{2, 94, 254, 246}));
    EXPECT_EQ(UnmappedDestination({0, 0, 512, 563}, 33, true), (ViewerRect{4, 146, 508, 450}));
    EXPECT_EQ(UnmappedDestination({0, 0, 255, 306}, 33, false), (ViewerRect{1, 93, 253, 245}));
}

}  // namespace
