#include <gtest/gtest.h>
#include <sys/stat.h>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "TempDirectory.h"
#include "camera/CameraSource.h"
#include "camera/PortCamera.h"
#include "platform/device/DeviceTimeout.h"
#include "sensor/LogPolarFrame.h"
#include "sensor/RemapTable.h"

namespace {

using Frame = std::vector<std::uint8_t>;

class CameraSourceTest : public ::testing::Test {
  protected:
    void SetUp() override { m_pPrevious = CurrentDeviceResolver(); }
    void TearDown() override {
        SetDeviceResolver(m_pPrevious);
        SetDeviceReadTimeout(kDefaultReadTimeout);
    }
    void Select(const std::string& source) {
        std::string error;
        ASSERT_TRUE(SelectCameraSource(source, &error)) << error;
    }
    // Frames read from a fresh link on the current source; stops at the first failure.
    std::vector<Frame> ReadFrames(int count, int* opened = nullptr) {
        CPortCamera camera;
        int answer = camera.Open(1);
        if (opened) {
            *opened = answer;
        }
        std::vector<Frame> frames;
        for (int k = 0; k < count; ++k) {
            Frame frame(kFrameBytes);
            if (!camera.ReadFrame(frame.data())) {
                break;
            }
            frames.push_back(std::move(frame));
        }
        return frames;
    }
    void WriteFile(const std::string& path, const std::vector<Frame>& frames) {
        std::ofstream out(path, std::ios::binary);
        for (const Frame& frame : frames) {
            out.write(reinterpret_cast<const char*>(frame.data()), std::streamsize(frame.size()));
        }
    }

    CTempDirectory m_dir;
    std::shared_ptr<IDeviceResolver> m_pPrevious;
};

class BadSources : public CameraSourceTest, public ::testing::WithParamInterface<const char*> {};

// Catches a bad source string being accepted (or half-installed) instead of reported.
TEST_P(BadSources, AreRejectedWithAMessageAndChangeNothing) {
    std::shared_ptr<IDeviceResolver> before = CurrentDeviceResolver();
    std::string error;
    EXPECT_FALSE(SelectCameraSource(GetParam(), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos);
    EXPECT_EQ(CurrentDeviceResolver(), before);
}

INSTANTIATE_TEST_SUITE_P(All, BadSources,
                         ::testing::Values("", "bogus", "SIM", "sim:", "sim:file", "image",
                                           "image:", "replay", "replay:", "none,fps=1", "sim,",
                                           "sim,,fps=1", "sim,fps", "sim,fps=-1", "sim,fps=abc",
                                           "sim,fps=2000", "sim,probe=70000", "sim,probe=-1",
                                           "sim,fail-after=", "sim,fail-after=x",
                                           "sim,stall-after=-2", "sim,corrupt-every=0",
                                           "sim,short-read=0", "sim,short-read=40000", "sim,dark=1",
                                           "sim,noise=51", "sim,drift", "sim,loop=0", "sim,colour",
                                           "replay:/no/such/file.raw", "image:/no/such/picture.png",
                                           "replay:/dev/null", "image:/dev/null", "sim,fps=nan",
                                           "sim,fps=NaN", "sim,fps=inf", "sim,fps=-inf"));

// Catches options being dropped or stored in the wrong field.
TEST(CameraSourceParse, OptionsReachTheirFields) {
    CameraSourceChoice choice;
    std::string error;
    ASSERT_TRUE(
        ParseCameraSource("sim-color,fps=0,probe=5,fail-after=3,stall-after=4,corrupt-every=7,"
                          "short-read,noise=0,dark",
                          &choice, &error))
        << error;
    EXPECT_EQ(choice.kind, CameraSourceKind::kSimColor);
    EXPECT_TRUE(choice.simulation.color);
    EXPECT_EQ(choice.faults.framesPerSecond, 0);
    EXPECT_EQ(choice.faults.probeCount, 5u);
    EXPECT_EQ(choice.faults.failAfterFrames, 3);
    EXPECT_EQ(choice.faults.stallAfterFrames, 4);
    EXPECT_EQ(choice.faults.corruptEvery, 7);
    EXPECT_EQ(choice.faults.chunkBytes, 4096u);
    EXPECT_EQ(choice.simulation.noise, 0);
    EXPECT_TRUE(choice.simulation.dark);
    ASSERT_TRUE(ParseCameraSource("replay:a/b c.raw,loop=0,fps=12.5", &choice, &error)) << error;
    EXPECT_EQ(choice.path, "a/b c.raw");
    EXPECT_FALSE(choice.loop);
    EXPECT_EQ(choice.faults.framesPerSecond, 12.5);
    ASSERT_TRUE(ParseCameraSource("auto", &choice, &error));
    EXPECT_EQ(choice.faults.framesPerSecond, kDefaultFramesPerSecond);
}

// Catches the environment variable being ignored or an empty one meaning no camera.
// Catches an option that the help lists but parsing does not know, or that no source
// takes, or whose bad value is told without naming the option and what it expects.
TEST(CameraSourceParse, EveryOptionIsListedParsedAndExplained) {
    const std::string help = CameraSourceHelp();
    for (const CameraSourceOptionInfo& option : CameraSourceOptions()) {
        EXPECT_NE(help.find("  " + std::string(option.form) + " "), std::string::npos)
            << option.form;
        const std::string written = std::string(option.name) + "=!bad";
        int explained = 0;
        for (const char* head : {"sim", "image:x.png", "replay:x.raw", "video:x.mkv", "gst:x"}) {
            CameraSourceChoice choice;
            std::string error;
            ASSERT_FALSE(ParseCameraSource(std::string(head) + "," + written, &choice, &error))
                << head << "," << written;
            EXPECT_NE(error.find("'" + written + "'"), std::string::npos) << error;
            explained += error.find("unknown option") == std::string::npos;
        }
        EXPECT_GT(explained, 0) << option.name << " is taken by no source";
    }
}

TEST(CameraSourceParse, EnvironmentSelectsTheSource) {
    unsetenv("PANDRY_CAMERA");
    EXPECT_EQ(CameraSourceFromEnvironment(), "auto");
    setenv("PANDRY_CAMERA", "", 1);
    EXPECT_EQ(CameraSourceFromEnvironment(), "auto");
    setenv("PANDRY_CAMERA", "sim,fps=0", 1);
    EXPECT_EQ(CameraSourceFromEnvironment(), "sim,fps=0");
    unsetenv("PANDRY_CAMERA");
}

// Catches a simulated source that does not behave like a camera (probe, whole frames),
// and a colour source that is not different from the grey one.
TEST_F(CameraSourceTest, SimulatedSourcesAnswerAndDeliverFrames) {
    int opened = 0;
    Select("sim,fps=0");
    std::vector<Frame> grey = ReadFrames(2, &opened);
    EXPECT_EQ(opened, 1);
    ASSERT_EQ(grey.size(), 2u);
    Select("sim-color,fps=0");
    std::vector<Frame> color = ReadFrames(1, &opened);
    EXPECT_EQ(opened, 1);
    ASSERT_EQ(color.size(), 1u);
    EXPECT_NE(color[0], grey[0]);
}

// Catches 'none' opening anything, and reads on it succeeding.
TEST_F(CameraSourceTest, NoneFailsTheOpenAndEveryRead) {
    Select("none");
    int opened = 1;
    EXPECT_TRUE(ReadFrames(1, &opened).empty());
    EXPECT_EQ(opened, 0);
}

// Catches a replay that alters, skips or reorders bytes, or does not loop.
TEST_F(CameraSourceTest, ReplayRoundTripsARecordingByteForByte) {
    Select("sim,fps=0");
    std::vector<Frame> recorded = ReadFrames(3);
    ASSERT_EQ(recorded.size(), 3u);
    std::string path = m_dir.File("run.raw");
    WriteFile(path, recorded);
    Select("replay:" + path + ",fps=0");
    std::vector<Frame> replayed = ReadFrames(7);
    ASSERT_EQ(replayed.size(), 7u);
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(replayed[std::size_t(k)], recorded[std::size_t(k % 3)]) << k;
    }
    Select("replay:" + path + ",fps=0,loop=0");
    EXPECT_EQ(ReadFrames(7).size(), 3u);
}

// Catches a recording of part frames being replayed with stale bytes: only its whole
// frames play (a recording with less than one is refused).
TEST_F(CameraSourceTest, ReplayPlaysOnlyWholeFrames) {
    std::string path = m_dir.File("cut.raw");
    WriteFile(path, {Frame(kFrameBytes + 7, 1)});
    Select("replay:" + path + ",loop=0,fps=0");
    EXPECT_EQ(ReadFrames(10).size(), 1u);
    WriteFile(path, {Frame(kFrameBytes - 7, 1)});
    std::string error;
    EXPECT_FALSE(SelectCameraSource("replay:" + path, &error));
    EXPECT_NE(error.find("cut.raw"), std::string::npos);
}

// Catches faults named in the source string not reaching the device.
TEST_F(CameraSourceTest, FaultOptionsInjectFaults) {
    Select("sim,fps=0,fail-after=3");
    EXPECT_EQ(ReadFrames(10).size(), 3u);
    int opened = 1;
    Select("sim,fps=0,probe=5");
    ReadFrames(0, &opened);
    EXPECT_EQ(opened, 0);
    Select("sim,fps=0,probe=0");
    ReadFrames(0, &opened);
    EXPECT_EQ(opened, 0);
    Select("sim,fps=0");
    std::vector<Frame> whole = ReadFrames(2);
    Select("sim,fps=0,short-read=1000");
    EXPECT_EQ(ReadFrames(2), whole);
    Select("sim,fps=0,corrupt-every=2");
    std::vector<Frame> corrupt = ReadFrames(2);
    EXPECT_EQ(corrupt[0], whole[0]);
    EXPECT_NE(corrupt[1], whole[1]);
}

// Catches a stalled source hanging its reader instead of failing after the time-out.
TEST_F(CameraSourceTest, StalledSourceTimesOut) {
    SetDeviceReadTimeout(std::chrono::milliseconds(50));
    Select("sim,fps=0,stall-after=1");
    CPortCamera camera;
    ASSERT_NE(camera.Open(1), 0);
    Frame frame(kFrameBytes);
    ASSERT_NE(camera.ReadFrame(frame.data()), 0);
    // Only the stalled read is timed: making a simulated frame is slow under the sanitizers.
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(camera.ReadFrame(frame.data()), 0);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(45));
    EXPECT_LT(waited, std::chrono::seconds(20));  // a hang, however loaded the machine
}

// Catches a simulated camera that ignores its frame rate.
TEST_F(CameraSourceTest, SimulationPacesItselfToItsFrameRate) {
    Select("sim,fps=50");
    auto start = std::chrono::steady_clock::now();
    ReadFrames(6);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));
}

// Catches 'auto' ignoring an existing device file, or failing without one.
TEST_F(CameraSourceTest, AutoPrefersTheDeviceFile) {
    setenv("PANDRY_DEVICE_DIR", m_dir.Path().c_str(), 1);
    Select("auto,fps=0");
    EXPECT_EQ(ReadFrames(1).size(), 1u);  // no file: simulated
    Frame stored(kFrameBytes, 77);
    std::ofstream(m_dir.File("lptsimple1"), std::ios::binary)
        .write("\1\2", 2)
        .write(reinterpret_cast<const char*>(stored.data()), std::streamsize(stored.size()));
    Select("auto");
    std::vector<Frame> frames = ReadFrames(2);
    unsetenv("PANDRY_DEVICE_DIR");
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], stored);
}

// A 24-bit BMP whose right half is white and left half black.
void WriteHalfBrightBmp(const std::string& path, int side) {
    std::vector<std::uint8_t> file(54 + std::size_t(side) * side * 3, 0);
    auto put32 = [&](std::size_t at, std::uint32_t value) {
        for (int b = 0; b < 4; ++b) {
            file[at + std::size_t(b)] = std::uint8_t(value >> (8 * b));
        }
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, std::uint32_t(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, std::uint32_t(side));
    put32(22, std::uint32_t(side));
    file[26] = 1;
    file[28] = 24;
    for (int y = 0; y < side; ++y) {
        for (int x = side / 2; x < side; ++x) {
            std::size_t at = 54 + (std::size_t(y) * side + std::size_t(x)) * 3;
            file[at] = file[at + 1] = file[at + 2] = 255;
        }
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
}

// Catches a picture that is loaded mirrored, or not looked at: a picture bright on the
// right gives bright samples in the right-hand sectors and dark ones on the left.
TEST_F(CameraSourceTest, ImageSourceSeesThePicture) {
    std::string path = m_dir.File("half.bmp");
    WriteHalfBrightBmp(path, 200);
    Select("image:" + path + ",fps=0,noise=0");
    std::vector<Frame> frames = ReadFrames(1);
    ASSERT_EQ(frames.size(), 1u);
    // Sector 0 of the outer ring looks right, sector 126 left.
    int right = frames[0][FrameIndex(0, 151)];
    int left = frames[0][FrameIndex(126, 151)];
    EXPECT_GE(right, 30);
    EXPECT_LE(left, 12);
    Select("image:" + path + ",fps=0,drift,color");
    EXPECT_EQ(ReadFrames(2).size(), 2u);
}

class UnusableFiles : public CameraSourceTest, public ::testing::WithParamInterface<const char*> {};

// Catches a FIFO given as a file source blocking for ever before any message.
TEST_P(UnusableFiles, FifoIsRefusedAtOnce) {
    const std::string path = m_dir.File("frames.fifo");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    std::string error;
    EXPECT_FALSE(SelectCameraSource(GetParam() + path, &error));
    EXPECT_NE(error.find("FIFO"), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Sources, UnusableFiles, ::testing::Values("image:", "replay:"),
                         [](const auto& info) {
                             return std::string(info.param).substr(0, 5) == "image" ? "Image"
                                                                                    : "Replay";
                         });

// A grey PNG of nothing but its header, declaring the size given.
void WritePngHeader(const std::string& path, std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> bytes = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A,
                                       0,    0,   0,   13,  'I',  'H',  'D',  'R'};
    for (std::uint32_t value : {width, height}) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            bytes.push_back(std::uint8_t(value >> shift));
        }
    }
    bytes.insert(bytes.end(), {8, 0, 0, 0, 0, 0, 0, 0, 0});  // 8-bit grey
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Catches a picture decoded before its size is checked: a tiny file declaring 26000 x 26000
// pixels took 2.6 GB.
TEST_F(CameraSourceTest, HugePictureIsRefusedFromItsHeader) {
    const std::string path = m_dir.File("huge.png");
    WritePngHeader(path, 26000, 26000);
    std::string error;
    EXPECT_FALSE(SelectCameraSource("image:" + path, &error));
    EXPECT_NE(error.find("26000 x 26000"), std::string::npos) << error;
    EXPECT_NE(error.find("8192"), std::string::npos) << error;
}

}  // namespace
