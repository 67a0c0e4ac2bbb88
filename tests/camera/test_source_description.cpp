#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "camera/CameraSource.h"

namespace {

struct SourceCase {
    const char* name;
    const char* source;
    const char* described;
    std::optional<bool> impliedColor;
};

// Test listings name the case instead of printing its bytes.
void PrintTo(const SourceCase& c, std::ostream* os) {
    *os << c.name;
}

class SourceDescriptionTest : public ::testing::TestWithParam<SourceCase> {};

// Catches a status pane that names the wrong source (a simulation shown as a camera, a
// path instead of the file's name) and a source whose sensor is not the one it implies.
TEST_P(SourceDescriptionTest, NamesTheSourceAndItsSensor) {
    CameraSourceChoice choice;
    std::string error;
    ASSERT_TRUE(ParseCameraSource(GetParam().source, &choice, &error)) << error;
    EXPECT_EQ(DescribeCameraSource(choice, 1), GetParam().described);
    EXPECT_EQ(ImpliedColor(choice), GetParam().impliedColor);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, SourceDescriptionTest,
    ::testing::Values(
        SourceCase{"Sim", "sim,fps=0", "Simulated camera", false},
        SourceCase{"SimColour", "sim-color", "Simulated camera", true},
        SourceCase{"Image", "image:/tmp/x/photo.png", "Simulated camera on photo.png", false},
        SourceCase{"ImageColour", "image:photo.png,color", "Simulated camera on photo.png", true},
        SourceCase{"Replay", "replay:/data/run.raw,loop=0", "Replay run.raw", std::nullopt},
        SourceCase{"None", "none", "No camera", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches auto passing the simulation off as a camera when no device exists (device 5 is
// not present on a test machine).
TEST(SourceDescription, AutoWithoutDeviceSaysItFellBack) {
    CameraSourceChoice choice;
    std::string error;
    ASSERT_TRUE(ParseCameraSource("auto", &choice, &error)) << error;
    bool bFellBack = false;
    EXPECT_EQ(DescribeCameraSource(choice, 5, &bFellBack), "Simulated camera");
    EXPECT_TRUE(bFellBack);
    EXPECT_EQ(ImpliedColor(choice), std::nullopt);
}

}  // namespace
