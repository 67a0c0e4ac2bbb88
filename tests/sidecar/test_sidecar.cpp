#include <gtest/gtest.h>

#include <string>

#include "sidecar/RecordingMetadata.h"

namespace {

RecordingMetadata Example() {
    RecordingMetadata m;
    m.sensor = "color";
    m.median = 1;
    m.offset = -12;
    m.aux1 = 300;
    m.aux2 = 310;
    m.gain = 7;
    m.width = m.height = 512;
    m.source = "sim-color,fps=0";
    m.calibrationPath = "/tmp/calimage.data";
    m.calibrationSha256 = std::string(64, 'a');
    m.calibrationCopy = "run.raw.calimage.data";
    m.startTime = "2026-12-08T11:44:10.123Z";
    m.droppedFrames = 3;
    m.failedReads = 1;
    m.frames = {{0, 0, false, false}, {4, 120, true, true}, {5, 160, false, false}};
    return m;
}

// Catches a field that is written under one name and read under another, or not at all.
TEST(Sidecar, RoundTripKeepsEveryField) {
    const RecordingMetadata written = Example();
    RecordingMetadata read;
    std::string error;
    ASSERT_TRUE(ParseSidecar(SidecarText(written), &read, &error)) << error;
    EXPECT_EQ(read.sensor, written.sensor);
    EXPECT_EQ(read.median, written.median);
    EXPECT_EQ(read.offset, written.offset);
    EXPECT_EQ(read.aux1, written.aux1);
    EXPECT_EQ(read.aux2, written.aux2);
    EXPECT_EQ(read.gain, written.gain);
    EXPECT_EQ(read.width, written.width);
    EXPECT_EQ(read.height, written.height);
    EXPECT_EQ(read.source, written.source);
    EXPECT_EQ(read.calibrationPath, written.calibrationPath);
    EXPECT_EQ(read.calibrationSha256, written.calibrationSha256);
    EXPECT_EQ(read.calibrationCopy, written.calibrationCopy);
    EXPECT_EQ(read.startTime, written.startTime);
    EXPECT_EQ(read.droppedFrames, written.droppedFrames);
    EXPECT_EQ(read.failedReads, written.failedReads);
    ASSERT_EQ(read.frames.size(), written.frames.size());
    for (std::size_t i = 0; i < read.frames.size(); ++i) {
        EXPECT_EQ(read.frames[i].index, written.frames[i].index);
        EXPECT_EQ(read.frames[i].timeMs, written.frames[i].timeMs);
        EXPECT_EQ(read.frames[i].afterFailedRead, written.frames[i].afterFailedRead);
        EXPECT_EQ(read.frames[i].afterDrop, written.frames[i].afterDrop);
    }
}

struct DamagedSidecar {
    const char* name;
    std::string text;
};

void PrintTo(const DamagedSidecar& c, std::ostream* os) {
    *os << c.name;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

class DamagedSidecars : public ::testing::TestWithParam<DamagedSidecar> {};

// Catches a reader that throws, crashes or accepts a sidecar it cannot trust.
TEST_P(DamagedSidecars, AreRefusedWithAReason) {
    RecordingMetadata read;
    std::string error;
    EXPECT_FALSE(ParseSidecar(GetParam().text, &read, &error));
    EXPECT_FALSE(error.empty());
}

const std::string kGood = SidecarText(Example());

INSTANTIATE_TEST_SUITE_P(
    All, DamagedSidecars,
    ::testing::Values(
        DamagedSidecar{"empty", ""}, DamagedSidecar{"cut_off", kGood.substr(0, kGood.size() / 2)},
        DamagedSidecar{"not_an_object", "[1, 2]"},
        DamagedSidecar{"future_version",
                       Replace(kGood, "\"format_version\": 1", "\"format_version\": 99")},
        DamagedSidecar{"unknown_sensor", Replace(kGood, "\"color\"", "\"infrared\"")},
        DamagedSidecar{"gain_as_text", Replace(kGood, "\"gain\": 7", "\"gain\": \"7\"")},
        DamagedSidecar{"count_mismatch",
                       Replace(kGood, "\"frame_count\": 3", "\"frame_count\": 4")},
        DamagedSidecar{"frame_without_time", Replace(kGood, "\"time_ms\": 120", "\"time\": 120")}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches a sidecar name other than the recording's own name with ".json" appended.
TEST(Sidecar, NamedByAppendingJson) {
    EXPECT_EQ(SidecarPathFor("dir/run.raw"), "dir/run.raw.json");
}

}  // namespace
