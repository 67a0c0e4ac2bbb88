#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "sensor/FoveaTable.h"
#include "sensor/RemapTable.h"

namespace {

std::uint16_t Entry512(int x, int y) {
    return RemapTable()[std::size_t(y) * 512 + x];
}
std::uint16_t Entry256(int x, int y) {
    return Entry512(2 * x, 2 * y);
}
int RingOf(std::uint16_t entry) {
    return entry % kRings;
}
int SectorOf(std::uint16_t entry) {
    return entry / kRings;
}

class RemapReference : public ::testing::TestWithParam<std::tuple<int, int, int>> {};

// Catches any slip in the rule: centre, fovea pitch, log rings, stagger, the six-decimal pi.
TEST_P(RemapReference, EntryMatchesTheRule) {
    const auto [x, y, entry] = GetParam();
    EXPECT_EQ(Entry512(x, y), entry) << "pixel (" << x << ", " << y << ")";
}

INSTANTIATE_TEST_SUITE_P(
    Pixels, RemapReference,
    ::testing::Values(std::tuple{256, 256, 0}, std::tuple{257, 256, 2}, std::tuple{256, 255, 458},
                      std::tuple{255, 256, 914}, std::tuple{256, 257, 1218},
                      std::tuple{266, 256, 21}, std::tuple{276, 256, 42}, std::tuple{400, 256, 127},
                      std::tuple{511, 256, 151}, std::tuple{256, 1, 9727},
                      std::tuple{300, 200, 5569}, std::tuple{100, 400, 23703},
                      std::tuple{256, 511, 28727}, std::tuple{256, 0, kNoSource},
                      std::tuple{0, 256, kNoSource}, std::tuple{0, 0, kNoSource},
                      std::tuple{511, 0, kNoSource}, std::tuple{0, 511, kNoSource},
                      std::tuple{511, 511, kNoSource}));

// Catches a disc edge or ring formula that is off by one pixel anywhere in the picture.
TEST(RemapTableCounts, SourcedPixelsInBothSizes) {
    int sourced512 = 0;
    for (std::size_t i = 0; i < kRemapTableEntries; ++i) {
        sourced512 += RemapTable()[i] != kNoSource;
    }
    EXPECT_EQ(sourced512, 205857);
    EXPECT_EQ(int(kRemapTableEntries) - sourced512, 56287);
    int sourced256 = 0;
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            sourced256 += Entry256(x, y) != kNoSource;
        }
    }
    EXPECT_EQ(sourced256, 51429);
    EXPECT_EQ(65536 - sourced256, 14107);
    EXPECT_EQ(Entry256(128, 128), 0);
    EXPECT_EQ(Entry256(0, 0), kNoSource);
}

// Catches entries that name a sector or ring the compact frame does not have.
TEST(RemapTableCounts, EveryEntryIsAValidCompactIndex) {
    for (std::size_t i = 0; i < kRemapTableEntries; ++i) {
        const std::uint16_t e = RemapTable()[i];
        if (e == kNoSource) {
            continue;
        }
        ASSERT_LT(e, kFrameBytes);
        const int ring = RingOf(e);
        if (ring > 0 && ring < kFoveaRings) {
            ASSERT_LT(SectorOf(e), 6 * ring) << "entry " << i;
        }
    }
    for (auto [x, y] : {std::pair{511, 256}, {256, 1}, {1, 256}, {256, 511}}) {
        EXPECT_EQ(RingOf(Entry512(x, y)), 151);
    }
}

std::set<int> RingsShown(int step) {
    std::set<int> rings;
    for (int y = 0; y < 512; y += step) {
        for (int x = 0; x < 512; x += step) {
            if (Entry512(x, y) != kNoSource) {
                rings.insert(RingOf(Entry512(x, y)));
            }
        }
    }
    return rings;
}

// Catches a fovea pitch or subsampling that shows rings the real tables never show.
TEST(RemapTableCounts, FoveaRingsNeverShown) {
    const std::set<int> shown512 = RingsShown(1);
    const std::set<int> shown256 = RingsShown(2);
    for (int ring = 0; ring < kRings; ++ring) {
        const bool hidden512 = ring == 1 || ring == 5;
        EXPECT_EQ(shown512.count(ring) == 0, hidden512) << "ring " << ring;
    }
    for (int ring : {1, 2, 3, 5, 7, 10, 11, 14, 16, 20, 22, 37, 41}) {
        EXPECT_EQ(shown256.count(ring), 0u) << "ring " << ring;
    }
    EXPECT_EQ(shown256.size(), std::size_t(kRings - 13));
}

// Catches an unsorted or wrongly windowed spoke set, and gathered pixels past 6r.
TEST(FoveaTableRule, EachRingGathersSixRAscendingSectors) {
    const std::int32_t* pTable = FoveaTable();
    for (int ring = 0; ring < kFoveaRings; ++ring) {
        for (int s = 0; s < kSectors; ++s) {
            const std::int32_t entry = pTable[FoveaIndex(s, ring)];
            if (s >= 6 * ring) {
                ASSERT_EQ(entry, kNoFoveaSector) << "ring " << ring << " sector " << s;
            } else {
                ASSERT_GE(entry, 0);
                ASSERT_LT(entry, kSectors);
                if (s > 0) {
                    ASSERT_GT(entry, pTable[FoveaIndex(s - 1, ring)]);
                }
            }
        }
    }
}

class FoveaRow : public ::testing::TestWithParam<std::pair<int, std::vector<int>>> {};

// Catches the j window taken the wrong way round (which differs only on even rings).
TEST_P(FoveaRow, RingStartsWithTheListedSectors) {
    const auto& [ring, sectors] = GetParam();
    for (std::size_t s = 0; s < sectors.size(); ++s) {
        EXPECT_EQ(FoveaTable()[FoveaIndex(int(s), ring)], sectors[s]) << "sector " << s;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rings, FoveaRow,
    ::testing::Values(std::pair{1, std::vector<int>{0, 42, 84, 126, 168, 210, -1}},
                      std::pair{2, std::vector<int>{0, 1, 42, 43, 84, 85, 126, 127, 168, 169, 210,
                                                    211, -1}},
                      std::pair{3, std::vector<int>{0, 1, 41, 42, 43, 83, 84, 85, 125, 126, 127,
                                                    167, 168, 169, 209, 210, 211, 251, -1}},
                      std::pair{41, std::vector<int>{0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                                     12, 13, 14, 15, 16, 17, 18, 19, 20, 22, 23}}));

}  // namespace
