#include <gtest/gtest.h>

#include <string>

#include "pixelprobe/PixelValuesText.h"
#include "sensor/LogPolarFrame.h"

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
    const std::string expected = "x 30 y 128 \u00b7 ring " + std::to_string(in.point.ring) +
                                 " sector " + std::to_string(in.point.sector) +
                                 " \u00b7 raw 37 dark 12 \u2192 105 \u00b7 shown 201";
    EXPECT_EQ(DescribeInspection(in), expected);
}

// Catches the off-disc corner described as a sample, and fovea and colour pixels not said so.
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
    EXPECT_NE(text.find("shown 10,20,30"), std::string::npos) << text;
    const std::string channel = MosaicChannelName(colour.point.index);
    ASSERT_FALSE(channel.empty());
    EXPECT_NE(text.find("sector " + std::to_string(colour.point.sector) + " " + channel),
              std::string::npos)
        << text;
}

}  // namespace
