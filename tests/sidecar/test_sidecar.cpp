#include <gtest/gtest.h>

#include <sys/types.h>
#include <unistd.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "sensor/LogPolarFrame.h"
#include "sidecar/RecordingMetadata.h"
#include "tests/platform/device/TempDirectory.h"
#include "tests/sidecar/SidecarSchema.h"

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
    m.view = "unmapped";
    m.autoLevels = true;
    m.end = "camera failed after 6 frames: Input/output error";
    m.source = "sim-color,fps=0";
    m.calibrationPath = "/tmp/calimage.data";
    m.calibrationSha256 = std::string(64, 'a');
    m.calibrationCopy = "run.raw.calimage.data";
    m.startTime = "2026-12-08T11:44:10.123456Z";
    m.droppedFrames = 3;
    m.failedReads = 1;
    m.frames = {{0, 0, false, false}, {4, 120017, true, true}, {5, 160003, false, false}};
    m.everySeconds = 0.25;
    m.averagedFrames = 4;
    m.flatPath = "/tmp/white.flat";
    m.flatSha256 = std::string(64, 'b');
    m.gazeChanges = {{0, 0.5, 0.5, 1.0}, {4, 0.25, 0.75, 0.5}};
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
    EXPECT_EQ(read.view, written.view);
    EXPECT_EQ(read.autoLevels, written.autoLevels);
    EXPECT_EQ(read.end, written.end);
    EXPECT_EQ(read.softwareName, "pandry");
    EXPECT_FALSE(read.softwareVersion.empty());
    EXPECT_EQ(read.source, written.source);
    EXPECT_EQ(read.calibrationPath, written.calibrationPath);
    EXPECT_EQ(read.calibrationSha256, written.calibrationSha256);
    EXPECT_EQ(read.calibrationCopy, written.calibrationCopy);
    EXPECT_EQ(read.startTime, written.startTime);
    EXPECT_EQ(read.droppedFrames, written.droppedFrames);
    EXPECT_EQ(read.failedReads, written.failedReads);
    EXPECT_EQ(read.everySeconds, written.everySeconds);
    EXPECT_EQ(read.averagedFrames, written.averagedFrames);
    EXPECT_EQ(read.flatPath, written.flatPath);
    EXPECT_EQ(read.flatSha256, written.flatSha256);
    EXPECT_EQ(read.gazeChanges, written.gazeChanges);
    ASSERT_EQ(read.frames.size(), written.frames.size());
    for (std::size_t i = 0; i < read.frames.size(); ++i) {
        EXPECT_EQ(read.frames[i].index, written.frames[i].index);
        EXPECT_EQ(read.frames[i].timeUs, written.frames[i].timeUs);
        EXPECT_EQ(read.frames[i].afterFailedRead, written.frames[i].afterFailedRead);
        EXPECT_EQ(read.frames[i].afterDrop, written.frames[i].afterDrop);
    }
}

struct DamagedSidecar {
    const char* name;
    std::string text;
    const char* named = "";  // what the reason must name
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
    EXPECT_NE(error.find(GetParam().named), std::string::npos) << error;
}

const std::string kGood = SidecarText(Example());

INSTANTIATE_TEST_SUITE_P(
    All, DamagedSidecars,
    ::testing::Values(
        DamagedSidecar{"empty", ""}, DamagedSidecar{"cut_off", kGood.substr(0, kGood.size() / 2)},
        DamagedSidecar{"not_an_object", "[1, 2]"},
        DamagedSidecar{"future_version",
                       Replace(kGood, "\"format_version\": 2", "\"format_version\": 99")},
        DamagedSidecar{"unknown_sensor", Replace(kGood, "\"color\"", "\"infrared\"")},
        DamagedSidecar{"gain_as_text", Replace(kGood, "\"gain\": 7", "\"gain\": \"7\"")},
        DamagedSidecar{"count_mismatch",
                       Replace(kGood, "\"frame_count\": 3", "\"frame_count\": 4")},
        DamagedSidecar{"frame_without_time",
                       Replace(kGood, "\"time_us\": 120017", "\"time\": 120017")},
        DamagedSidecar{"unknown_view", Replace(kGood, "\"unmapped\"", "\"sideways\"")},
        DamagedSidecar{"version_2_without_end", Replace(kGood, "\"end\"", "\"ending\"")},
        DamagedSidecar{"time_before_start",
                       Replace(kGood, "\"time_us\": 120017", "\"time_us\": -5")},
        DamagedSidecar{"time_going_back",
                       Replace(kGood, "\"time_us\": 160003", "\"time_us\": 1000")},
        DamagedSidecar{"time_past_a_year",
                       Replace(kGood, "\"time_us\": 120017", "\"time_us\": 9223372036854775807")},
        DamagedSidecar{"index_negative", Replace(kGood, "\"index\": 0", "\"index\": -5")},
        DamagedSidecar{"gain_too_large_for_int", Replace(kGood, "\"gain\": 7", "\"gain\": 1e300")},
        DamagedSidecar{"gain_as_fraction", Replace(kGood, "\"gain\": 7", "\"gain\": 7.5")},
        DamagedSidecar{"plan_every_negative",
                       Replace(kGood, "\"every_s\": 0.25", "\"every_s\": -1.0")},
        DamagedSidecar{"plan_average_zero", Replace(kGood, "\"average\": 4", "\"average\": 0")},
        DamagedSidecar{"offset_no_program_takes",
                       Replace(kGood, "\"offset\": -12", "\"offset\": 5000"), "offset 5000"},
        DamagedSidecar{"gain_no_program_takes", Replace(kGood, "\"gain\": 7", "\"gain\": -100"),
                       "gain -100"},
        DamagedSidecar{"picture_size_unknown", Replace(kGood, "\"width\": 512", "\"width\": 300"),
                       "300 x 512"},
        DamagedSidecar{"number_past_a_double",
                       Replace(kGood, "\"every_s\": 0.25", "\"every_s\": 1e999"), "1e999"},
        DamagedSidecar{"gaze_off_the_picture", Replace(kGood, "\"x\": 0.25", "\"x\": 7"),
                       "gaze at frame 4: x"},
        DamagedSidecar{"gaze_field_too_narrow", Replace(kGood, "\"field\": 0.5", "\"field\": 0.01"),
                       "frame 4"},
        DamagedSidecar{"gaze_frame_negative", Replace(kGood, "\"frame\": 4", "\"frame\": -4"),
                       "gaze 1: frame"},
        DamagedSidecar{"gaze_not_a_list",
                       Replace(kGood, "\"gaze\": [", "\"gaze\": {\"a\": 1}, \"unused\": ["),
                       "gaze"},
        DamagedSidecar{"calibration_copy_outside",
                       Replace(kGood, "\"run.raw.calimage.data\"", "\"../../etc/x\""),
                       "calibration copy"},
        DamagedSidecar{"calibration_copy_parent",
                       Replace(kGood, "\"run.raw.calimage.data\"", "\"..\""), "calibration copy"},
        DamagedSidecar{"frames_listed_twice",
                       Replace(kGood, "\"sensor\"", "\"frames\": [], \"sensor\""), "twice"}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches the long recordings the recorder allows losing their sidecar to the read limit,
// and the directly written frame list leaving the layout of the rest of the text.
TEST(Sidecar, MillionFrameRecordingIsReadBack) {
    CTempDirectory directory;
    const std::string recording = directory.File("long.raw");
    RecordingMetadata written = Example();
    written.frames.clear();
    constexpr std::uint64_t kFrames = 1000000;
    for (std::uint64_t i = 0; i < kFrames; ++i) {
        written.frames.push_back({i, std::int64_t(i) * 40000, i % 7 == 0, i % 11 == 0});
    }
    const std::string text = SidecarText(written);
    ASSERT_GT(text.size(), kLargestSidecarBytes);
    std::ofstream(SidecarPathFor(recording)) << text;
    // The recording's size is what lets its sidecar past the fixed limit.
    std::ofstream{recording};
    ASSERT_EQ(::truncate(recording.c_str(), off_t(kFrames * kFrameBytes)), 0);
    RecordingMetadata read;
    const FileResult result = ReadSidecarOf(recording, &read);
    ASSERT_TRUE(result) << result.Error();
    ASSERT_EQ(read.frames.size(), kFrames);
    for (std::uint64_t i = 0; i < kFrames; i += 9973) {
        EXPECT_EQ(read.frames[i].index, i);
        EXPECT_EQ(read.frames[i].timeUs, std::int64_t(i) * 40000);
        EXPECT_EQ(read.frames[i].afterFailedRead, i % 7 == 0);
        EXPECT_EQ(read.frames[i].afterDrop, i % 11 == 0);
    }
    EXPECT_EQ(read.startTime, written.startTime);
}

// Catches a frame list written in a layout other than the JSON library's own, or not JSON.
TEST(Sidecar, TextIsTheJsonLibrarysLayout) {
    const std::string text = SidecarText(Example());
    EXPECT_EQ(nlohmann::json::parse(text).dump(1) + "\n", text);
}

// Catches frames listed before the format version (hand-written sidecars) being refused or
// read with the wrong time unit.
TEST(Sidecar, FrameListIsReadWhereverItStands) {
    nlohmann::json document = nlohmann::json::parse(SidecarText(Example()));
    std::string text = "{\"frames\": " + document["frames"].dump() + ", ";
    document.erase("frames");
    text += document.dump().substr(1);
    RecordingMetadata read;
    std::string error;
    ASSERT_TRUE(ParseSidecar(text, &read, &error)) << error;
    ASSERT_EQ(read.frames.size(), 3u);
    EXPECT_EQ(read.frames[1].timeUs, 120017);
}

// Catches recordings made before microsecond times becoming unreadable, or their
// millisecond times being taken as microseconds.
TEST(Sidecar, VersionOneIsStillRead) {
    const std::string version1 = R"({"format_version": 1, "sensor": "mono",
        "configuration": {"median": 0, "offset": 70, "aux1": 320, "aux2": 320, "gain": 4,
                          "width": 256, "height": 256},
        "source": "sim", "calibration": null, "start_time": "2026-12-08T11:44:10.123Z",
        "frame_bytes": 38304, "frame_count": 2, "dropped_frames": 1, "failed_reads": 0,
        "frames": [{"index": 0, "time_ms": 0, "after_failed_read": false, "after_drop": false},
                   {"index": 2, "time_ms": 85, "after_failed_read": false, "after_drop": true}]})";
    RecordingMetadata read;
    std::string error;
    ASSERT_TRUE(ParseSidecar(version1, &read, &error)) << error;
    EXPECT_EQ(read.formatVersion, 1);
    EXPECT_EQ(read.offset, 70);
    EXPECT_EQ(read.view, "remapped");
    ASSERT_EQ(read.frames.size(), 2u);
    EXPECT_EQ(read.frames[1].index, 2u);
    EXPECT_EQ(read.frames[1].timeUs, 85000);
}

// Catches a recording without a plan or flat image gaining one in its sidecar (today's
// sidecars stay as they were), or a sidecar without one read with a plan.
TEST(Sidecar, PlanAndFlatAreWrittenOnlyWhenUsed) {
    RecordingMetadata plain = Example();
    plain.everySeconds = 0;
    plain.averagedFrames = 1;
    plain.flatPath.clear();
    const std::string text = SidecarText(plain);
    EXPECT_EQ(text.find("plan"), std::string::npos) << text;
    EXPECT_EQ(text.find("\"flat\""), std::string::npos) << text;
    RecordingMetadata read;
    read.averagedFrames = 9;
    std::string error;
    ASSERT_TRUE(ParseSidecar(text, &read, &error)) << error;
    EXPECT_EQ(read.everySeconds, 0);
    EXPECT_EQ(read.averagedFrames, 1u);
}

// Catches a sidecar written in a shape the published schema does not describe.
TEST(Sidecar, WrittenTextFitsThePublishedSchema) {
    CTempDirectory directory;
    const std::string path = directory.File("run.raw.json");
    std::ofstream(path) << SidecarText(Example());
    EXPECT_TRUE(FitsTheSidecarSchema(path));
}

// Catches a sidecar name other than the recording's own name with ".json" appended.
TEST(Sidecar, NamedByAppendingJson) {
    EXPECT_EQ(SidecarPathFor("dir/run.raw"), "dir/run.raw.json");
}

}  // namespace
