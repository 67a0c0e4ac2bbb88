#include <sys/resource.h>

#include <gtest/gtest.h>

#include <csignal>

#include <set>
#include <string>
#include <vector>

#include "PictureDecoders.h"
#include "export/PictureWriter.h"
#include "sensor/LogPolarFrame.h"
#include "sidecar/RecordingMetadata.h"
#include "tests/sidecar/SidecarSchema.h"
#include "tests/tools/CliRunner.h"

namespace {

class ExportCommand : public CliFixture {
  protected:
    void SetUp() override {
        m_frames = {PatternFrame(1, 2), PatternFrame(9, 5), PatternFrame(77, 1),
                    PatternFrame(5, 9)};
        WriteFrames("in.raw", m_frames);
    }
    // Frame k recorded as index indices[k] (k when not given) at times[k] milliseconds.
    void WriteSidecar(const std::vector<std::int64_t>& times,
                      const std::vector<std::uint64_t>& indices = {}) {
        RecordingMetadata metadata;
        for (std::size_t k = 0; k < times.size(); ++k) {
            const std::uint64_t index = k < indices.size() ? indices[k] : k;
            metadata.frames.push_back({index, times[k] * 1000, false, index != k});
        }
        std::ofstream(Path("in.raw.json")) << SidecarText(metadata);
    }

    std::vector<FrameBytes> m_frames;
};

// Catches a wrong YUV4MPEG2 header (size, rate, colour space) or frames of the wrong size,
// which players reject or show skewed; the luma of a mono stream is the viewer's picture.
TEST_F(ExportCommand, Y4mStreamHasItsHeaderAndWholeFrames) {
    WriteSidecar({0, 100, 200, 300});  // 10 frames a second
    ASSERT_EQ(Run("export --calibration none in.raw mono.y4m"), 0) << m_strError;
    ASSERT_EQ(Run("export --calibration none --sensor color in.raw color.y4m"), 0) << m_strError;
    // Raw values of a colour sensor are one channel: the header must say mono.
    ASSERT_EQ(Run("export --calibration none --sensor color --values raw in.raw raw.y4m"), 0)
        << m_strError;
    const std::string monoHeader = "YUV4MPEG2 W256 H256 F10000:1000 Ip A1:1 Cmono\n";
    const std::string colorHeader =
        "YUV4MPEG2 W256 H256 F10000:1000 Ip A1:1 C444 XCOLORRANGE=FULL\n";
    const std::vector<std::uint8_t> mono = ReadBytes(Path("mono.y4m"));
    const std::vector<std::uint8_t> color = ReadBytes(Path("color.y4m"));
    ASSERT_EQ(mono.size(), monoHeader.size() + 4 * (6 + 256 * 256));
    ASSERT_EQ(color.size(), colorHeader.size() + 4 * (6 + 3 * 256 * 256));
    EXPECT_EQ(std::string(mono.begin(), mono.begin() + monoHeader.size()), monoHeader);
    EXPECT_EQ(std::string(color.begin(), color.begin() + colorHeader.size()), colorHeader);
    const std::vector<std::uint8_t> raw = ReadBytes(Path("raw.y4m"));
    ASSERT_EQ(raw.size(), mono.size());
    EXPECT_EQ(std::string(raw.begin(), raw.begin() + monoHeader.size()), monoHeader);
    for (int k = 0; k < 4; ++k) {
        const std::size_t at = monoHeader.size() + std::size_t(k) * (6 + 256 * 256);
        EXPECT_EQ(std::string(mono.begin() + at, mono.begin() + at + 6), "FRAME\n");
    }
    // Frame 2's luma against convert of frame 2 alone.
    WriteFrames("two.raw", {m_frames[2]});
    ASSERT_EQ(Run("convert --calibration none two.raw two.bmp"), 0);
    const Decoded two = DecodeBmp(Path("two.bmp"));
    const std::size_t at = monoHeader.size() + 2 * (6 + 256 * 256) + 6;
    for (std::size_t i = 0; i < 256 * 256; i += 97) {
        ASSERT_EQ(mono[at + i], two.rgb[i * 3]) << "pixel " << i;
    }
}

// Catches PNG and TIFF files that lose which frame they hold, when, and with what settings.
TEST_F(ExportCommand, PicturesCarryFrameTimeAndSettings) {
    WriteSidecar({0, 40, 85, 120});
    ASSERT_EQ(Run("export --calibration none --gain 4 --frames 2-2 in.raw f%d.png"), 0)
        << m_strError;
    ASSERT_EQ(Run("export --calibration none --gain 4 --frames 2 in.raw f%d.tif"), 0);
    const Decoded png = DecodePng(Path("f2.png"));
    EXPECT_EQ(png.text.at("Frame"), "2");
    EXPECT_EQ(png.text.at("Time us"), "85000");
    EXPECT_NE(png.text.at("Description").find("gain=4"), std::string::npos);
    const Decoded tiff = DecodeTiff(Path("f2.tif"));
    EXPECT_NE(tiff.text.at("Description").find("frame=2 time_us=85000"), std::string::npos);
    EXPECT_NE(tiff.text.at("Description").find("sensor=mono"), std::string::npos);
}

// Catches a frame range that is off by one or ignored.
TEST_F(ExportCommand, FrameRangeSelectsFramesCountedFromZero) {
    ASSERT_EQ(Run("export --calibration none --frames 1-2 in.raw 'p-%03d.pgm'"), 0) << m_strError;
    EXPECT_EQ(Listing(), (std::vector<std::string>{"in.raw", "p-001.pgm", "p-002.pgm"}));
}

// Catches a failure part-way that leaves the pictures written before it behind.
TEST_F(ExportCommand, FailurePartWayLeavesNothingBehind) {
    std::filesystem::create_directory(Path("s-2.png"));  // frame 2 cannot be written
    EXPECT_NE(Run("export --calibration none in.raw s-%d.png"), 0);
    EXPECT_NE(m_strError.find("s-2.png"), std::string::npos) << m_strError;
    EXPECT_EQ(Listing(), (std::vector<std::string>{"in.raw", "s-2.png"}));
}

// Outputs written as one growing file: a stream through a byte sink, a stack page by page.
class FailedWriteMidway : public ExportCommand,
                          public ::testing::WithParamInterface<const char*> {};

// Catches a write that fails part-way (a full disk) reported as success, without the file
// and the reason, or leaving part of the file behind.
TEST_P(FailedWriteMidway, SaysWhyAndLeavesNothing) {
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = kFrameBytes * 3;  // under two pictures of 256 x 256
    std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &limited);
    const int status = Run(std::string("export --calibration none in.raw ") + GetParam());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(status, 1);
    EXPECT_NE(m_strError.find(GetParam()), std::string::npos) << m_strError;
    EXPECT_NE(m_strError.find("File too large"), std::string::npos) << m_strError;
    EXPECT_EQ(Listing(), std::vector<std::string>{"in.raw"});
}

INSTANTIATE_TEST_SUITE_P(Outputs, FailedWriteMidway, ::testing::Values("s.y4m", "s.tif"),
                         [](const auto& info) { return LowerExtension(info.param); });

// Catches a recording cut off mid-frame being refused, or its torn frame being exported.
TEST_F(ExportCommand, CutOffRecordingExportsItsWholeFramesWithAWarning) {
    WriteFrames("cut.raw", m_frames, 1000);
    ASSERT_EQ(Run("export --calibration none cut.raw c%d.pgm"), 0) << m_strError;
    EXPECT_NE(m_strError.find("cut-off"), std::string::npos) << m_strError;
    EXPECT_TRUE(Exists("c3.pgm"));
    EXPECT_FALSE(Exists("c4.pgm"));
}

// Catches a sidecar that cannot be read being replaced by the defaults unasked (other
// pictures than the recording's, exit status 0), in any command that reads a recording,
// and --ignore-sidecar not getting past it or not saying so in the picture.
TEST_F(ExportCommand, UnreadableSidecarIsRefusedUnlessIgnored) {
    RecordingMetadata outOfRange;
    outOfRange.offset = 5000;
    outOfRange.frames.push_back({0, 0, false, false});
    const std::vector<std::pair<std::string, std::string>> damages = {
        {"broken JSON", "{\"format_version\": 1, \"frames\": ["},
        {"offset no program takes", SidecarText(outOfRange)},
    };
    const std::vector<std::string> commands = {"export --frames 0 in.raw d%d.png",
                                               "convert in.raw d0.png", "stats in.raw",
                                               "inspect --frame in.raw 10 10"};
    for (const auto& [damage, text] : damages) {
        std::ofstream(Path("in.raw.json"), std::ios::trunc) << text;
        for (const std::string& command : commands) {
            SCOPED_TRACE(damage + ": " + command);
            EXPECT_NE(Run(command), 0);
            EXPECT_NE(m_strError.find("in.raw.json"), std::string::npos) << m_strError;
            EXPECT_NE(m_strError.find("--ignore-sidecar"), std::string::npos) << m_strError;
            EXPECT_FALSE(Exists("d0.png"));
            EXPECT_EQ(Run(command + " --ignore-sidecar --calibration none"), 0) << m_strError;
            std::filesystem::remove(Path("d0.png"));
        }
    }
    ASSERT_EQ(Run("export --ignore-sidecar --calibration none --frames 0 in.raw d%d.png"), 0);
    const std::vector<std::uint8_t> png = ReadBytes(Path("d0.png"));
    EXPECT_NE(std::string(png.begin(), png.end()).find("ignored"), std::string::npos);
}

// Catches a video request that fails silently or vaguely without ffmpeg, or leaves a file.
TEST_F(ExportCommand, VideoWithoutFfmpegNamesThePackage) {
    if (std::system("command -v ffmpeg >/dev/null 2>&1") == 0) {
        ASSERT_EQ(Run("export --calibration none in.raw v.mkv"), 0) << m_strError;
        EXPECT_GT(ReadBytes(Path("v.mkv")).size(), 100u);
        return;
    }
    EXPECT_NE(Run("export --calibration none in.raw v.mp4"), 0);
    EXPECT_NE(m_strError.find("package 'ffmpeg'"), std::string::npos) << m_strError;
    EXPECT_FALSE(Exists("v.mp4"));
}

// Catches video that loses the recorded timing (one average rate, drops closed up) or a
// lossless video whose pixels differ from the pictures: each frame of the MKV sits at its
// recorded time, gap included, and its decoded pixels equal the PNG export's.
TEST_F(ExportCommand, VideoKeepsRecordedTimesAndLosslessEqualsThePictures) {
    if (std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null") != 0) {
        GTEST_SKIP() << "needs ffmpeg (scripts/install-deps.sh installs it)";
    }
    WriteSidecar({0, 40, 160, 200}, {0, 1, 5, 6});
    ASSERT_EQ(Run("export --calibration none --sensor color --lossless in.raw v.mkv"), 0)
        << m_strError;
    ASSERT_EQ(Run("export --calibration none --sensor color in.raw p%d.png"), 0) << m_strError;
    const std::string probe =
        "cd '" + m_dir.Path().string() +
        "' && ffprobe -v error -show_entries frame=pts_time -of csv=p=0 "
        "v.mkv >times.txt && ffmpeg -v error -i v.mkv -fps_mode passthrough -f rawvideo "
        "-pix_fmt rgb24 decoded.rgb";
    ASSERT_EQ(std::system(probe.c_str()), 0);
    const std::vector<std::uint8_t> times = ReadBytes(Path("times.txt"));
    EXPECT_EQ(std::string(times.begin(), times.end()), "0.000000\n0.040000\n0.160000\n0.200000\n");
    std::vector<std::uint8_t> pictures;
    for (const char* name : {"p0.png", "p1.png", "p5.png", "p6.png"}) {
        const Decoded png = DecodePng(Path(name));
        pictures.insert(pictures.end(), png.rgb.begin(), png.rgb.end());
    }
    EXPECT_TRUE(ReadBytes(Path("decoded.rgb")) == pictures);
}

struct BadExport {
    const char* name;
    const char* arguments;
    const char* mentions;
};

// Test listings name the case instead of printing its bytes.
void PrintTo(const BadExport& c, std::ostream* os) {
    *os << c.name;
}

class BadExportArguments : public CliFixture, public ::testing::WithParamInterface<BadExport> {
  protected:
    void SetUp() override { WriteFrames("in.raw", {UniformFrame(5), UniformFrame(6)}); }
};

// Catches bad arguments that are accepted, reported vaguely, or leave a file behind.
TEST_P(BadExportArguments, FailWithOneLineAndLeaveNothing) {
    EXPECT_NE(Run(GetParam().arguments), 0);
    EXPECT_NE(m_strError.find(GetParam().mentions), std::string::npos) << m_strError;
    EXPECT_EQ(m_strError.find('\n'), m_strError.size() - 1) << m_strError;
    EXPECT_EQ(Listing(), std::vector<std::string>{"in.raw"});
}

INSTANTIATE_TEST_SUITE_P(
    All, BadExportArguments,
    ::testing::Values(
        BadExport{"unknown_extension", "export in.raw out-%d.jpg", "out-%d.jpg"},
        BadExport{"no_frame_number", "export in.raw out.png", "frame number"},
        BadExport{"two_frame_numbers", "export in.raw out-%d-%d.png", "more than one"},
        BadExport{"string_conversion", "export in.raw out-%s.png", "not a frame number"},
        BadExport{"range_backwards", "export --frames 1-0 in.raw o%d.png", "--frames"},
        BadExport{"range_not_numbers", "export --frames a-b in.raw o%d.png", "--frames"},
        BadExport{"range_past_the_end", "export --frames 5-9 in.raw o%d.png", "frames 0-1"},
        BadExport{"missing_input", "export nothere.raw o%d.png", "nothere.raw"},
        BadExport{"missing_output", "export in.raw", "OUTPUT"},
        BadExport{"bad_setting", "export --size 300 in.raw o%d.png", "300"},
        BadExport{"convert_unknown_extension", "convert in.raw out.jpg", "out.jpg"}),
    [](const auto& info) { return std::string(info.param.name); });

class RecordCommand : public CliFixture {};

// Catches a recording without a sidecar, or a sidecar that misdescribes its frames,
// settings, source or calibration.
TEST_F(RecordCommand, WritesASidecarThatDescribesTheRecording) {
    // An all-dark image of the right length, whose digest is worked out once by hand.
    std::ofstream(Path("dark.data")) << std::string(kFrameBytes * 4, '\0');
    ASSERT_EQ(Run("record --camera sim,fps=0 --frames 5 --gain 6 --calibration dark.data "
                  "--calibration-copy run.raw"),
              0)
        << m_strError;
    RecordingMetadata metadata;
    const FileResult sidecar = ReadSidecarOf(Path("run.raw"), &metadata);
    ASSERT_TRUE(sidecar) << sidecar.Error();
    EXPECT_EQ(metadata.frames.size(), 5u);
    EXPECT_EQ(ReadBytes(Path("run.raw")).size(), 5 * kFrameBytes);
    EXPECT_EQ(metadata.source, "sim,fps=0");
    EXPECT_EQ(metadata.sensor, "mono");
    EXPECT_EQ(metadata.gain, 6);
    EXPECT_EQ(metadata.offset, 80);
    EXPECT_EQ(metadata.calibrationSha256,
              "e0e70fda0108f04741626239983274a4a8bf68249bbd2cdc288301ba1207280b");
    EXPECT_EQ(ReadBytes(Path(metadata.calibrationCopy)), ReadBytes(Path("dark.data")));
    EXPECT_EQ(metadata.startTime.size(), 27u) << metadata.startTime;  // microseconds, 'Z'
    EXPECT_EQ(metadata.startTime.back(), 'Z');
    EXPECT_EQ(metadata.view, "remapped");
    EXPECT_TRUE(FitsTheSidecarSchema(Path("run.raw.json")));
}

// Catches a colour source recorded as mono when no sensor is given.
TEST_F(RecordCommand, ColourSourceIsRecordedAsColour) {
    ASSERT_EQ(Run("record --camera sim-color,fps=0 --frames 1 --calibration none c.raw"), 0)
        << m_strError;
    RecordingMetadata metadata;
    const FileResult sidecar = ReadSidecarOf(Path("c.raw"), &metadata);
    ASSERT_TRUE(sidecar) << sidecar.Error();
    EXPECT_EQ(metadata.sensor, "color");
    EXPECT_TRUE(metadata.calibrationPath.empty());
}

// Catches good frames thrown away when the camera fails part-way, a failure reported as
// success, or a sidecar that does not say how the run ended: the whole frames read stay a
// recording that exports.
TEST_F(RecordCommand, FailedReadKeepsTheWholeFramesRead) {
    EXPECT_EQ(Run("record --camera sim,fps=0,fail-after=3 --frames 10 --calibration none run.raw"),
              1);
    EXPECT_NE(m_strError.find("cannot read frame 4"), std::string::npos) << m_strError;
    RecordingMetadata metadata;
    const FileResult sidecar = ReadSidecarOf(Path("run.raw"), &metadata);
    ASSERT_TRUE(sidecar) << sidecar.Error();
    EXPECT_EQ(metadata.frames.size(), 3u);
    EXPECT_EQ(ReadBytes(Path("run.raw")).size(), 3 * kFrameBytes);
    EXPECT_EQ(metadata.end.rfind("camera failed after 3 frames: ", 0), 0u) << metadata.end;
    EXPECT_TRUE(FitsTheSidecarSchema(Path("run.raw.json")));
    ASSERT_EQ(Run("export run.raw f%d.pgm"), 0) << m_strError;
    EXPECT_TRUE(Exists("f2.pgm"));
}

// Catches times kept in coarse units: an unpaced run gives nearly every frame its own time.
TEST_F(RecordCommand, UnpacedFramesGetDistinctMicrosecondTimes) {
    ASSERT_EQ(Run("record --camera sim,fps=0 --frames 200 --calibration none run.raw"), 0)
        << m_strError;
    RecordingMetadata metadata;
    const FileResult sidecar = ReadSidecarOf(Path("run.raw"), &metadata);
    ASSERT_TRUE(sidecar) << sidecar.Error();
    std::set<std::int64_t> times;
    for (const RecordedFrame& frame : metadata.frames) {
        times.insert(frame.timeUs);
    }
    EXPECT_GE(times.size(), 195u);
    EXPECT_EQ(metadata.end, "complete");
    EXPECT_TRUE(FitsTheSidecarSchema(Path("run.raw.json")));
}

// Catches export ignoring the recording's own settings: a colour recording made at 512 with
// offset -1 and gain 10 exports with no options exactly as with those options given.
TEST_F(RecordCommand, ExportWithoutOptionsUsesTheRecordedSettings) {
    ASSERT_EQ(Run("record --camera sim-color,fps=0 --frames 2 --size 512 --offset -1 --gain 10 "
                  "--calibration none c.raw"),
              0)
        << m_strError;
    ASSERT_EQ(Run("export c.raw plain-%d.png"), 0) << m_strError;
    ASSERT_EQ(Run("export --sensor color --size 512 --offset -1 --gain 10 --calibration none "
                  "c.raw given-%d.png"),
              0)
        << m_strError;
    EXPECT_EQ(ReadBytes(Path("plain-1.png")), ReadBytes(Path("given-1.png")));
    const Decoded png = DecodePng(Path("plain-1.png"));
    EXPECT_EQ(png.width, 512);
    EXPECT_NE(png.text.at("Description").find("calibration=none"), std::string::npos);
    // An option still wins over the recording.
    ASSERT_EQ(Run("convert --size 256 c.raw small.png"), 0) << m_strError;
    EXPECT_EQ(DecodePng(Path("small.png")).width, 256);
}

// Catches a recording processed with a dark image other than the one it was made with, and
// a picture whose text names a calibration that was not applied.
TEST_F(RecordCommand, ChangedCalibrationIsRefusedByName) {
    std::ofstream(Path("dark.data")) << std::string(kFrameBytes * 4, '\0');
    ASSERT_EQ(Run("record --camera sim,fps=0 --frames 1 --calibration dark.data run.raw"), 0)
        << m_strError;
    ASSERT_EQ(Run("export run.raw ok-%d.png"), 0) << m_strError;
    EXPECT_NE(
        DecodePng(Path("ok-0.png")).text.at("Description").find("calibration_sha256=e0e70fda0108"),
        std::string::npos);
    std::ofstream(Path("dark.data")) << std::string(kFrameBytes * 4, '\1');
    for (const char* command : {"export run.raw no-%d.png", "convert run.raw no.bmp",
                                "inspect --frame run.raw 100 100"}) {
        EXPECT_NE(Run(command), 0) << command;
        EXPECT_NE(m_strError.find("dark.data"), std::string::npos) << m_strError;
        EXPECT_NE(m_strError.find("--calibration"), std::string::npos) << m_strError;
    }
    EXPECT_FALSE(Exists("no-0.png"));
    EXPECT_FALSE(Exists("no.bmp"));
    ASSERT_EQ(Run("export --calibration none run.raw none-%d.png"), 0) << m_strError;
}

// Catches names, text and ranges that count positions in the file instead of the recorded
// index: after a drop, position 2 is recorded frame 5.
TEST_F(ExportCommand, RecordedIndexNamesFramesAfterAGap) {
    WriteSidecar({0, 40, 160, 200}, {0, 1, 5, 6});
    ASSERT_EQ(Run("export --calibration none in.raw g%d.png"), 0) << m_strError;
    EXPECT_EQ(Listing(), (std::vector<std::string>{"g0.png", "g1.png", "g5.png", "g6.png", "in.raw",
                                                   "in.raw.json"}));
    EXPECT_EQ(DecodePng(Path("g5.png")).text.at("Frame"), "5");
    EXPECT_EQ(DecodePng(Path("g5.png")).text.at("Time us"), "160000");
    ASSERT_EQ(Run("export --calibration none --frames 5-6 in.raw r%d.pgm"), 0) << m_strError;
    EXPECT_TRUE(Exists("r5.pgm") && Exists("r6.pgm") && !Exists("r1.pgm"));
    EXPECT_NE(Run("export --calibration none --frames 4-9 in.raw x%d.pgm"), 0);
    EXPECT_NE(m_strError.find("frames 0-6"), std::string::npos) << m_strError;
}

}  // namespace
