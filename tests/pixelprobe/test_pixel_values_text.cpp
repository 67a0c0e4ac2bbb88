#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "pixelprobe/PixelValuesText.h"
#include "sensor/LogPolarFrame.h"
#include "sensor/SampleGeometry.h"

namespace {

PixelInspection At(int x, int y, int size = 256) {
    PixelInspection inspection;
    inspection.x = x;
    inspection.y = y;
    inspection.point = ProbeRemapped(size, x, y);
    return inspection;
}

// Catches a line that drops a figure or mislabels it (raw shown as dark, ring as sector).
TEST(PixelValuesText, PeripheryPixelInMono) {
    PixelInspection in = At(30, 128);
    ASSERT_TRUE(in.point.bInside);
    ASSERT_FALSE(in.point.IsFovea());
    in.bHasReading = true;
    in.reading = {37, 12, 105};
    in.shown = {201, 201, 201};
    const SampleGeometry& g = SensorSampleGeometry();
    char where[96];
    std::snprintf(where, sizeof(where), "radius %.1f px, angle %.1f\u00b0, area %u px",
                  g.radius[in.point.rawIndex], g.angle[in.point.rawIndex],
                  g.area[in.point.rawIndex]);
    const std::string expected = "x 30 y 128 \u00b7 ring " + std::to_string(in.point.ring) +
                                 " sector " + std::to_string(in.point.sector) + " \u00b7 " + where +
                                 " \u00b7 raw 37 dark 12 \u2192 105 \u00b7 shown 201";
    EXPECT_EQ(DescribeInspection(in), expected);
    // The pixel lies where the geometry says: left of the centre, about 98 pixels of the
    // 512 picture out.
    EXPECT_NEAR(g.angle[in.point.rawIndex], 180, 1.5);
    EXPECT_NEAR(g.radius[in.point.rawIndex], 196, 3);
    EXPECT_GT(g.area[in.point.rawIndex], 0u);
    EXPECT_EQ(ShortInspection(in), "r" + std::to_string(in.point.ring) + " s" +
                                       std::to_string(in.point.sector) +
                                       " \u00b7 37\u2192105 \u00b7 201");
}

// Catches the off-disc corner described as a sample, fovea and colour pixels not said so,
// and colour levels given in stored (blue-first) order.
TEST(PixelValuesText, OutsideFoveaAndColour) {
    EXPECT_EQ(DescribeInspection(At(0, 0)), "x 0 y 0 \u00b7 outside the sensor");
    PixelInspection fovea = At(129, 128);
    fovea.bHasReading = true;
    EXPECT_NE(DescribeInspection(fovea).find("fovea ring 4 sector 0"), std::string::npos);
    PixelInspection colour = At(30, 128);
    colour.bColor = true;
    colour.bHasReading = true;
    colour.shown = {10, 20, 30};
    const std::string text = DescribeInspection(colour);
    // Kept blue, green, red; told red, green, blue, each labelled.
    EXPECT_NE(text.find("shown R 30 G 20 B 10"), std::string::npos) << text;
    EXPECT_NE(ShortInspection(colour).find("R30 G20 B10"), std::string::npos);
    const std::string channel = MosaicChannelName(colour.point.index);
    ASSERT_FALSE(channel.empty());
    EXPECT_NE(text.find("sector " + std::to_string(colour.point.sector) + " " + channel),
              std::string::npos)
        << text;
}

}  // namespace
