#include <gtest/gtest.h>

#include <cmath>

#include "sensor/FoveaTable.h"
#include "sensor/RemapTable.h"
#include "sensor/SampleGeometry.h"

namespace {

double AngleBetween(double a, double b) {
    const double d = std::fmod(std::abs(a - b), 360.0);
    return std::min(d, 360.0 - d);
}

// Catches a geometry that disagrees with the picture: every pixel of the 512 picture lies
// within its sample's ring band and, in the periphery, within a sector of the sample's
// angle; the areas add up to the pixels showing a physical sample, and only physical
// samples have any.
TEST(SampleGeometry, AgreesWithTheRemapAndFoveaTables) {
    const SampleGeometry& g = SensorSampleGeometry();
    std::uint64_t shownPixels = 0;
    for (int y = 0; y < kRemapTableSize; ++y) {
        for (int x = 0; x < kRemapTableSize; ++x) {
            const std::uint16_t shown = RemapTable()[std::size_t(y) * kRemapTableSize + x];
            if (shown == kNoSource) {
                continue;
            }
            const int ring = shown % kRings;
            std::size_t read = shown;
            if (ring < kFoveaRings) {
                const std::int32_t sector = FoveaTable()[FoveaIndex(shown / kRings, ring)];
                if (sector == kNoFoveaSector) {
                    continue;
                }
                read = FrameIndex(sector, ring);
            }
            ++shownPixels;
            const double distance = std::hypot(x - 256.0, 256.0 - y);
            ASSERT_GE(distance, RingInnerRadius(ring) - 1e-9) << x << "," << y;
            ASSERT_LT(distance, RingOuterRadius(ring) + 1e-9) << x << "," << y;
            ASSERT_TRUE(g.physical[read]);
            if (ring >= kFoveaRings + 4) {
                double angle = std::atan2(256.0 - y, x - 256.0) * 180 / 3.141592;
                EXPECT_LE(AngleBetween(angle, g.angle[read]), 360.0 / kSectors) << x << "," << y;
            }
        }
    }
    std::uint64_t areas = 0;
    int physical = 0;
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        areas += g.area[i];
        physical += g.physical[i] ? 1 : 0;
        EXPECT_TRUE(g.physical[i] || g.area[i] == 0) << i;
    }
    EXPECT_EQ(areas, shownPixels);
    // The periphery whole, and 6r pixels in each fovea ring r.
    EXPECT_EQ(physical, kSectors * kPeripheryRings + 6 * (kFoveaRings - 1) * kFoveaRings / 2);
}

// Catches angles counted clockwise or from another side: sector 0 of an odd periphery ring
// lies just counter-clockwise of the picture's right, a quarter turn on is up.
TEST(SampleGeometry, AnglesCountCounterClockwiseFromTheRight) {
    const SampleGeometry& g = SensorSampleGeometry();
    EXPECT_NEAR(g.angle[FrameIndex(0, 101)], 0.5 * 360 / kSectors, 1e-4);
    EXPECT_NEAR(g.angle[FrameIndex(kSectors / 4, 101)], 90 + 0.5 * 360 / kSectors, 1e-4);
    EXPECT_NEAR(g.radius[FrameIndex(0, kRings - 1)], 256 * (1 + 1 / 1.02365) / 2, 1e-3);
}

}  // namespace
