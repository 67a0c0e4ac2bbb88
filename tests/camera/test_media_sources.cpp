// The sources on the media stack (video:, webcam, gst:) and the gaze they share with image:.
// Videos are made while the tests run; none is kept in the repository.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <thread>
#include <vector>

#include "TempDirectory.h"
#include "camera/CameraSource.h"
#include "camera/GazeTrack.h"
#include "camera/GstSource.h"
#include "camera/PortCamera.h"
#include "sensor/LogPolarFrame.h"
#include "sidecar/RecordingMetadata.h"
#include "simulation/SensorGeometry.h"
#include "simulation/SimulatedCamera.h"

namespace {

using Frame = std::vector<std::uint8_t>;

bool HaveFfmpeg() {
    return std::system("ffmpeg -version >/dev/null 2>&1") == 0;
}

class MediaSourceTest : public ::testing::Test {
  protected:
    void SetUp() override { m_pPrevious = CurrentDeviceResolver(); }
    void TearDown() override {
        SetDeviceResolver(m_pPrevious);
        SetActiveSourceGaze(nullptr);
    }
    void Select(const std::string& source) {
        std::string error;
        ASSERT_TRUE(SelectCameraSource(source, &error)) << error;
    }
    // Frames read from the current source until `count` or the first failure.
    static std::vector<Frame> ReadFrames(CPortCamera& camera, int count) {
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
    std::vector<Frame> ReadFrames(int count) {
        CPortCamera camera;
        EXPECT_NE(camera.Open(1), 0);
        return ReadFrames(camera, count);
    }
    // A black width x height picture (binary PPM) with a white square of side `side`
    // centred at (x, y).
    std::string SpotPicture(int x, int y, int side) {
        const int width = 200;
        const int height = 160;
        std::string path = m_dir.File("spot.ppm");
        std::ofstream out(path, std::ios::binary);
        out << "P6\n" << width << " " << height << "\n255\n";
        for (int row = 0; row < height; ++row) {
            for (int column = 0; column < width; ++column) {
                const bool lit = std::abs(column - x) < side / 2 && std::abs(row - y) < side / 2;
                const char level = lit ? char(255) : char(0);
                out << level << level << level;
            }
        }
        return path;
    }

    CTempDirectory m_dir;
    std::shared_ptr<IDeviceResolver> m_pPrevious;
};

// The mean level of the fovea's physical samples in a raw frame.
double FoveaMean(const Frame& frame) {
    double sum = 0;
    int count = 0;
    for (int sector = 0; sector < kSectors; ++sector) {
        for (int ring = 1; ring < kFoveaRings; ++ring) {
            const std::size_t index = FrameIndex(sector, ring);
            if (CSensorGeometry::Instance().PixelCount(index) > 0) {
                sum += frame[index];
                ++count;
            }
        }
    }
    return sum / count;
}

class VideoMatchesPicture : public MediaSourceTest,
                            public ::testing::WithParamInterface<const char*> {};

// Catches a video frame sampled other than its still picture is (colour order, row stride,
// luminance, the gaze's scale), and a default gaze that is not the view without one, which
// would make the picture jump on the first drag.
TEST_P(VideoMatchesPicture, FrameKEqualsImageOfThatFrameWithOrWithoutTheDefaultGaze) {
    if (!HaveFfmpeg()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    const std::string video = m_dir.File("clip.mkv");
    const std::string still = m_dir.File("frame2.png");
    // Lossless both ways: FFV1 in RGB, and the third frame as PNG. An odd width gives the
    // decoder's rows a padded stride.
    ASSERT_EQ(std::system(("ffmpeg -loglevel error -f lavfi -i testsrc2=size=321x240:rate=10 "
                           "-frames:v 3 -c:v ffv1 -pix_fmt bgr0 " +
                           video + " && ffmpeg -loglevel error -i " + video +
                           " -vf 'select=eq(n\\,2)' -frames:v 1 " + still)
                              .c_str()),
              0);
    const std::string options = std::string(",noise=0,fps=0") + GetParam();
    Select("video:" + video + options + ",loop=0");
    const std::vector<Frame> frames = ReadFrames(4);
    ASSERT_EQ(frames.size(), 3u) << "loop=0 ends after the last frame";
    for (const char* gaze : {"", ",gaze=0.5:0.5"}) {
        Select("image:" + still + options + gaze);
        const std::vector<Frame> picture = ReadFrames(1);
        ASSERT_EQ(picture.size(), 1u);
        EXPECT_EQ(frames[2], picture[0]) << "image:" << gaze;
        EXPECT_NE(frames[1], picture[0]);
    }
}

INSTANTIATE_TEST_SUITE_P(MonoAndColour, VideoMatchesPicture, ::testing::Values("", ",color"));

// Catches a pipeline's caps (commas) taken for our options, or a pipeline that does not
// wait for its reader losing frames.
TEST_F(MediaSourceTest, PipelineDeliversEveryFrameThenEnds) {
    Select(
        "gst:videotestsrc num-buffers=5 pattern=smpte ! video/x-raw,width=160,height=120,"
        "noise=0,fps=0");
    const std::vector<Frame> frames = ReadFrames(10);
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_GT(FoveaMean(frames[0]), 10.0);
}

// Catches a gaze that is ignored, read with x and y swapped, or not re-aimed when moved
// while the source runs (as the viewer's drag does).
TEST_F(MediaSourceTest, MovedGazePutsABrightSpotIntoTheFovea) {
    const std::string picture = SpotPicture(50, 120, 16);  // at 0.25 : 0.75
    Select("image:" + picture + ",noise=0,fps=0,gaze=0.75:0.25,field=0.5");
    CPortCamera camera;
    ASSERT_NE(camera.Open(1), 0);
    const std::vector<Frame> away = ReadFrames(camera, 1);
    ActiveSourceGaze()->Set({0.25, 0.75, 0.5});
    const std::vector<Frame> onSpot = ReadFrames(camera, 1);
    ASSERT_EQ(away.size(), 1u);
    ASSERT_EQ(onSpot.size(), 1u);
    EXPECT_LT(FoveaMean(away[0]), 12.0);
    EXPECT_GT(FoveaMean(onSpot[0]), 30.0);
}

// Catches a close that waits for an element blocked in a read: here a FIFO that is held
// open and never written again, which holds GStreamer's streaming thread for good.
TEST_F(MediaSourceTest, ClosingEndsAPipelineBlockedInARead) {
    const std::string fifo = m_dir.File("stalled");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int writer = ::open(fifo.c_str(), O_RDWR);  // opens without waiting for a reader
    ASSERT_GE(writer, 0);
    const std::vector<char> picture(64 * 64, char(200));  // one read of filesrc
    ASSERT_EQ(::write(writer, picture.data(), picture.size()), ssize_t(picture.size()));
    Select("gst:filesrc location=" + fifo +
           " ! rawvideoparse width=64 height=64 format=gray8,noise=0,fps=0");
    auto camera = std::make_shared<CPortCamera>();
    ASSERT_NE(camera->Open(1), 0);
    ASSERT_EQ(ReadFrames(*camera, 1).size(), 1u);
    // Closed on another thread, so that a close that hangs fails here instead of hanging.
    auto closed = std::make_shared<std::promise<void>>();
    std::future<void> done = closed->get_future();
    std::thread([camera = std::move(camera), closed]() mutable {
        camera.reset();
        closed->set_value();
    }).detach();
    EXPECT_EQ(done.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    ::close(writer);  // lets a blocked read end, whatever happened above
}

// Catches a sampler that picks one source pixel per canvas pixel: at field 4 a 256-pixel
// checkerboard puts exactly 2 x 2 of its pixels under each, whose mean is mid-grey.
TEST_F(MediaSourceTest, FinePatternIsAveragedNotAliased) {
    const std::string path = m_dir.File("checks.pgm");
    std::ofstream out(path, std::ios::binary);
    out << "P5\n256 256\n255\n";
    for (int row = 0; row < 256; ++row) {
        for (int column = 0; column < 256; ++column) {
            out << char((row + column) % 2 ? 255 : 0);
        }
    }
    out.close();
    Select("image:" + path + ",noise=0,fps=0,field=4");
    const std::vector<Frame> frames = ReadFrames(1);
    ASSERT_EQ(frames.size(), 1u);
    const int midGrey = (128 * CSimulatedCamera::kSignalSpan + 127) / 255;
    for (int sector = 0; sector < kSectors; ++sector) {
        for (int ring = 1; ring < kFoveaRings; ++ring) {
            const std::size_t index = FrameIndex(sector, ring);
            if (CSensorGeometry::Instance().PixelCount(index) > 0) {
                ASSERT_EQ(frames[0][index] - CSimulatedCamera::DarkLevel(index), midGrey)
                    << "sector " << sector << " ring " << ring;
            }
        }
    }
}

struct FailureCase {
    const char* source;  // $DIR stands for the scratch directory
    const char* says;
};
void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.source;
}
class MediaFailures : public MediaSourceTest, public ::testing::WithParamInterface<FailureCase> {};

// Catches a failure that hangs, is reported as success, or does not say what failed.
TEST_P(MediaFailures, FailAtSelectionWithOneLineNamingTheCause) {
    std::ofstream(m_dir.File("junk.mp4")) << "not a video at all";
    std::string source = GetParam().source;
    if (const std::size_t at = source.find("$DIR"); at != std::string::npos) {
        source.replace(at, 4, m_dir.Path().string());
    }
    std::string error;
    EXPECT_FALSE(SelectCameraSource(source, &error));
    EXPECT_NE(error.find(GetParam().says), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    All, MediaFailures,
    ::testing::Values(FailureCase{"video:$DIR/missing.mkv", "cannot read"},
                      FailureCase{"video:$DIR/junk.mp4", "cannot decode"},
                      FailureCase{"webcam:/dev/video-missing", "no such device"},
                      FailureCase{"gst:nosuchthingsrc",
                                  "missing GStreamer element 'nosuchthingsrc'"},
                      FailureCase{"gst:videotestsrc num-buffers=0", "holds no pictures"},
                      FailureCase{"gst:videotestsrc ! video/x-raw,width=16384,height=16384",
                                  "at most 8192 x 8192 pixels"},
                      FailureCase{"video:x.mkv,probe=5", "unknown option"},
                      FailureCase{"webcam,gaze=2:0", "gaze=X:Y"},
                      FailureCase{"image:x.png,field=0", "field"}));

// A stand-in camera for the webcam pipeline: raw YUY2, or MJPEG as most USB cameras send.
class WebcamNegotiation : public ::testing::TestWithParam<const char*> {};

// Catches the webcam pipeline failing to take what a camera sends.
TEST_P(WebcamNegotiation, TakesWhatTheCameraSends) {
    std::string error;
    CGstSourceDevice::Options options;
    options.simulation.noise = 0;
    std::unique_ptr<CGstSourceDevice> device =
        CGstSourceDevice::Open(WebcamPipeline("/dev/video0", GetParam()),
                               std::make_shared<CSourceGaze>(), options, &error);
    ASSERT_TRUE(device) << error;
    Frame frame(kFrameBytes);
    std::size_t delivered = 0;
    ASSERT_TRUE(device->Read(frame.data(), kFrameBytes, &delivered,
                             ReadLimit::Within(std::chrono::seconds(30))));
    EXPECT_EQ(delivered, kFrameBytes);
}

INSTANTIATE_TEST_SUITE_P(
    RawAndMjpeg, WebcamNegotiation,
    ::testing::Values(
        "videotestsrc is-live=true ! video/x-raw,format=YUY2,width=320,height=240 ! identity",
        "videotestsrc is-live=true ! video/x-raw,width=320,height=240 ! jpegenc"));

// Catches a sidecar that lists every frame's gaze (or none) instead of the first and the
// changes, or loses them on the way through the file.
TEST(GazeRecord, ListsTheFirstFrameAndEveryMoveAndSurvivesTheSidecar) {
    auto gaze = std::make_shared<CSourceGaze>();
    CGazeTrack track(gaze);
    track.Note(0);  // nothing sampled yet: a fixed view has no gaze to tell
    gaze->NoteUsed({0.5, 0.5, 1}, 100, 100);
    track.Note(1);
    track.Note(2);
    gaze->NoteUsed({0.25, 0.5, 0.5}, 100, 100);
    track.Note(3);
    const std::vector<GazeChange> expected = {{1, 0.5, 0.5, 1}, {3, 0.25, 0.5, 0.5}};
    ASSERT_EQ(track.Changes(), expected);
    RecordingMetadata written;
    written.gazeChanges = track.Changes();
    RecordingMetadata read;
    std::string error;
    ASSERT_TRUE(ParseSidecar(SidecarText(written), &read, &error)) << error;
    EXPECT_EQ(read.gazeChanges, expected);
    EXPECT_EQ(SidecarText(RecordingMetadata{}).find("gaze"), std::string::npos);
}

// Catches our options swallowed into a pipeline, or a pipeline's caps cut at their commas.
TEST(MediaSourceParse, PipelineRunsToTheFirstOfOurOptions) {
    CameraSourceChoice choice;
    std::string error;
    ASSERT_TRUE(ParseCameraSource(
        "gst:videotestsrc ! video/x-raw,width=320,height=240,color,gaze=0.2:0.3,field=0.5", &choice,
        &error))
        << error;
    EXPECT_EQ(choice.kind, CameraSourceKind::kGst);
    EXPECT_EQ(choice.path, "videotestsrc ! video/x-raw,width=320,height=240");
    EXPECT_TRUE(choice.simulation.color);
    EXPECT_EQ(choice.gaze, (Gaze{0.2, 0.3, 0.5}));
    ASSERT_TRUE(ParseCameraSource("webcam:/dev/video2,loop=1", &choice, &error) == false);
    ASSERT_TRUE(ParseCameraSource("webcam:/dev/video2,fps=10", &choice, &error)) << error;
    EXPECT_EQ(choice.path, "/dev/video2");
}

}  // namespace
