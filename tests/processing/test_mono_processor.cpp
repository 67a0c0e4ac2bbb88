#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "AllocationCounter.h"
#include "ProcessingTestSupport.h"
#include "processing/MonoProcessor.h"

namespace {

constexpr std::size_t kUnmappedRgbBytes = kFrameBytes * 3;

class MonoProcessorTest : public ::testing::Test {
  protected:
    void Configure(CMonoProcessor& processor, int size, int gain = 3, int offset = 80) {
        processor.SetCalibrationPath(m_directory.File("calimage.data"));
        processor.Configure(0, offset, 320, 320, gain, size, size);
    }

    CScratchDirectory m_directory;
};

// Catches planes not filled with 128 (a fresh picture must be the border's mid-grey).
TEST_F(MonoProcessorTest, FreshProcessorShowsAllGrey) {
    CMonoProcessor processor;
    Configure(processor, 256);
    std::vector<std::uint8_t> remapped(65536 * 3, 0), unmapped(kUnmappedRgbBytes, 0);
    processor.RemappedToRgb(remapped.data());
    processor.RawToRgb(unmapped.data());
    EXPECT_EQ(std::count(remapped.begin(), remapped.end(), 130), long(remapped.size()));
    EXPECT_EQ(std::count(unmapped.begin(), unmapped.end(), 130), long(unmapped.size()));
}

// Catches counting the corrected frame, clearing the counts, or writing other rows.
TEST_F(MonoProcessorTest, HistogramCountsRawSamplesIntoRowZero) {
    CTestCamera camera({UniformFrame(7)});
    CMonoProcessor processor;
    Configure(processor, 256);
    processor.SetCamera(camera.Camera());
    ASSERT_EQ(processor.Acquire(), 1);
    HistogramCounts counts = {};
    processor.Histogram(counts);
    EXPECT_EQ(counts[0][7], 38304);
    processor.Histogram(counts);
    EXPECT_EQ(counts[0][7], 76608);
    std::int64_t total = 0;
    for (auto& row : counts) {
        for (std::int32_t c : row) {
            total += c;
        }
    }
    EXPECT_EQ(total, 76608);
}

// The histogram's counts ride in the remap's pass once the last frame's were asked for.
// Catches counts of another frame, counted twice, or lost where the picture is remapped
// twice, a frame is skipped, or the histogram was hidden for a frame.
TEST_F(MonoProcessorTest, HistogramCountedWithTheRemapIsTheRawFramesCount) {
    for (int size : {256, 512}) {
        std::vector<FrameBytes> frames;
        for (int f = 1; f <= 5; ++f) {
            frames.push_back(PatternFrame(f));
        }
        CTestCamera camera(frames);
        CMonoProcessor processor;
        Configure(processor, size);
        processor.SetCamera(camera.Camera());
        std::vector<std::uint8_t> rgb(std::size_t(size) * size * 3);
        for (std::size_t f = 0; f < frames.size(); ++f) {
            ASSERT_EQ(processor.Acquire(), 1);
            processor.Remap();
            processor.RemappedToRgb(rgb.data());
            processor.RemappedToRgb(rgb.data());
            if (f == 2) {
                continue;  // the histogram hidden for this frame
            }
            HistogramCounts counts = {}, expected = {};
            for (std::uint8_t v : frames[f]) {
                ++expected[0][v];
            }
            processor.Histogram(counts);
            EXPECT_EQ(std::memcmp(counts, expected, sizeof counts), 0) << size << " frame " << f;
        }
    }
}

// Catches Acquire skipping the correction or the fovea fill, or the remap reading the raw frame.
TEST_F(MonoProcessorTest, AcquireCorrectsAndFillsThenRemapShowsIt) {
    CTestCamera camera({UniformFrame(20)});
    CMonoProcessor processor;
    Configure(processor, 256, 1, 0);
    processor.SetCamera(camera.Camera());
    ASSERT_EQ(processor.Acquire(), 1);
    GainTable gain1{};
    CFrameProcessor::BuildGainTable(gain1, 1);
    EXPECT_EQ(processor.FramePlane(0)[FrameIndex(0, 100)], gain1[20]);
    EXPECT_EQ(processor.FramePlane(0)[FrameIndex(0, 0)], 128);  // ring 0 after the fill
    EXPECT_EQ(processor.FramePlane(0)[FrameIndex(10, 1)], 128);
    EXPECT_EQ(processor.RawFrame()[FrameIndex(0, 0)], 20);
    processor.Remap();
    EXPECT_EQ(processor.OutputPlane(0)[128 * 256 + 200], gain1[20]);
    EXPECT_EQ(processor.OutputPlane(0)[0], 128);
}

// Catches a failed read that still changes the pictures.
TEST_F(MonoProcessorTest, FailedReadChangesNothing) {
    CTestCamera camera({UniformFrame(200)}, 1);
    CMonoProcessor processor;
    Configure(processor, 256);
    processor.SetCamera(camera.Camera());
    ASSERT_EQ(processor.Acquire(), 1);
    processor.Remap();
    const std::vector<std::uint8_t> plane(processor.FramePlane(0),
                                          processor.FramePlane(0) + kFrameBytes);
    const std::vector<std::uint8_t> out(processor.OutputPlane(0), processor.OutputPlane(0) + 65536);
    EXPECT_EQ(processor.Acquire(), 0);
    EXPECT_TRUE(std::equal(plane.begin(), plane.end(), processor.FramePlane(0)));
    EXPECT_TRUE(std::equal(out.begin(), out.end(), processor.OutputPlane(0)));
}

struct SaveCase {
    int size, columns, rows;
    std::size_t fileBytes;  // 0: nothing written
};

void PrintTo(const SaveCase& c, std::ostream* os) {
    *os << "size " << c.size << " saved as " << c.columns << "x" << c.rows;
}

class MonoSaveBitmap : public MonoProcessorTest, public ::testing::WithParamInterface<SaveCase> {};

// Catches saving the wrong picture for the size asked, or writing for a size that fits none.
TEST_P(MonoSaveBitmap, WritesTheMatchingPictureOrNothing) {
    const SaveCase c = GetParam();
    CTestCamera camera({PatternFrame(0)});
    CMonoProcessor processor;
    Configure(processor, c.size);
    processor.SetCamera(camera.Camera());
    ASSERT_EQ(processor.Acquire(), 1);
    processor.Remap();
    const std::string path = m_directory.File("saved.bmp");
    EXPECT_EQ(processor.SaveBitmap(c.columns, c.rows, path.c_str()), c.fileBytes ? 1 : 0);
    const auto bytes = ReadBytes(path);
    EXPECT_EQ(bytes.size(), c.fileBytes);
    if (c.fileBytes == 0) {
        return;
    }
    // The file holds exactly what the display gets.
    std::vector<std::uint8_t> shown(c.fileBytes - 58);
    if (c.columns * c.rows == int(kFrameBytes)) {
        processor.RawToRgb(shown.data());
    } else {
        processor.RemappedToRgb(shown.data());
    }
    EXPECT_TRUE(std::equal(shown.begin(), shown.end(), bytes.begin() + 58));
}

INSTANTIATE_TEST_SUITE_P(Sizes, MonoSaveBitmap,
                         ::testing::Values(SaveCase{256, 252, 152, 114970},
                                           SaveCase{256, 256, 256, 196666},
                                           SaveCase{512, 512, 512, 786490},
                                           SaveCase{256, 512, 512, 0}, SaveCase{256, 100, 100, 0},
                                           SaveCase{256, 0, 0, 0}, SaveCase{256, -256, -256, 0}));

// Catches the reconfiguration that may overlap acquisition allocating buffers (before the
// first Configure) or changing the size (after it), or not passing the settings on.
TEST_F(MonoProcessorTest, ConfigureKeepingSizeNeverAllocates) {
    CMonoProcessor processor;
    processor.ConfigureKeepingSize(0, 80, 320, 320, 3);
    EXPECT_FALSE(processor.IsConfigured());
    Configure(processor, 512, 1);
    const std::uint8_t* pRaw = processor.RawFrame();
    processor.ConfigureKeepingSize(1, 40, 320, 320, 10);
    EXPECT_EQ(processor.RawFrame(), pRaw);
    EXPECT_EQ(processor.Width(), 512);
    EXPECT_EQ(processor.Median(), 1);
    EXPECT_EQ(processor.Offset(), 40);
    EXPECT_EQ(processor.Gain(), 10.0f);
}

// Catches a same-size Configure that reallocates, drops the picture or reloads the file.
TEST_F(MonoProcessorTest, SameSizeConfigureKeepsBuffersAndCalibration) {
    CTestCamera camera({UniformFrame(60)});
    CMonoProcessor processor;
    Configure(processor, 256, 1);
    processor.SetCamera(camera.Camera());
    ASSERT_EQ(processor.Calibrate(), 1);  // in memory: 60 everywhere
    ASSERT_EQ(processor.Acquire(), 1);
    processor.Remap();
    const std::uint8_t* pPlane = processor.OutputPlane(0);
    const std::uint8_t shown = pPlane[128 * 256 + 200];
    WriteBytes(m_directory.File("calimage.data"), std::vector<std::uint8_t>(kFrameBytes * 4, 0));

    processor.Configure(1, 0, 320, 320, 10, 256, 256);
    EXPECT_EQ(processor.OutputPlane(0), pPlane);
    EXPECT_EQ(pPlane[128 * 256 + 200], shown);
    EXPECT_EQ(processor.CalibrationImage()[5], 60);
    EXPECT_EQ(processor.Median(), 1);
    EXPECT_EQ(processor.Gain(), 10.0f);

    // The next frame uses the new gain: 60 - 60 + 0 = 0 gives black, offset 40 gives table[40].
    processor.Configure(1, 40, 320, 320, 10, 256, 256);
    ASSERT_EQ(processor.Acquire(), 1);
    GainTable gain10{};
    CFrameProcessor::BuildGainTable(gain10, 10);
    EXPECT_EQ(processor.FramePlane(0)[FrameIndex(3, 100)], gain10[40]);
}

// Catches a size change that keeps old planes or an in-memory calibration.
TEST_F(MonoProcessorTest, NewSizeStartsFreshAndReloadsCalibration) {
    CTestCamera camera({UniformFrame(60)});
    CMonoProcessor processor;
    Configure(processor, 256);
    processor.SetCamera(camera.Camera());
    ASSERT_EQ(processor.Acquire(), 1);
    processor.Remap();
    std::vector<std::uint8_t> file(kFrameBytes * 4, 0);
    file[0] = 9;
    WriteBytes(m_directory.File("calimage.data"), file);

    processor.Configure(0, 80, 320, 320, 3, 512, 512);
    ASSERT_TRUE(processor.IsConfigured());
    EXPECT_EQ(processor.PixelCount(), kZoomedPixelCount);
    EXPECT_EQ(
        std::count(processor.OutputPlane(0), processor.OutputPlane(0) + kZoomedPixelCount, 128),
        long(kZoomedPixelCount));
    EXPECT_EQ(processor.CalibrationImage()[0], 9);
    EXPECT_EQ(processor.CalibrationImage()[1], 0);
}

// Catches an allocation failure anywhere in Configure leaving a half-built processor that
// later operations trust (null planes, missing converter, no gain table).
TEST_F(MonoProcessorTest, AllocationFailureInConfigureLeavesItUnconfigured) {
    CTestCamera camera({UniformFrame(10)});
    std::vector<std::uint8_t> out(kZoomedPixelCount * 3, 1);
    int failures = 0;
    for (std::int64_t failAt = 0; failAt < 64; ++failAt) {
        CMonoProcessor processor;
        processor.SetCalibrationPath(m_directory.File("calimage.data"));
        processor.SetCamera(camera.Camera());
        allocation::FailAfter(failAt);
        processor.Configure(0, 80, 320, 320, 3, 256, 256);
        allocation::StopFailing();
        if (processor.IsConfigured()) {
            if (processor.CurrentGainTable() != nullptr && failures > 0) {
                ASSERT_EQ(processor.Acquire(), 1) << "fail at " << failAt;
                break;  // every earlier allocation has been made to fail
            }
            continue;
        }
        ++failures;
        EXPECT_EQ(processor.Acquire(), 0) << "fail at " << failAt;
        EXPECT_EQ(processor.Calibrate(), 0);
        EXPECT_EQ(processor.SaveBitmap(256, 256, m_directory.File("x.bmp").c_str()), 0);
        processor.Remap();
        processor.RemappedToRgb(out.data());
        processor.RawToRgb(out.data());
        HistogramCounts counts = {};
        processor.Histogram(counts);
        EXPECT_EQ(counts[0][10], 0);
        // A later Configure with memory to spare recovers.
        processor.Configure(0, 80, 320, 320, 3, 256, 256);
        EXPECT_TRUE(processor.IsConfigured());
        EXPECT_EQ(processor.Acquire(), 1);
    }
    EXPECT_GE(failures, 8);  // raw, calibration, converter and six planes at least
    EXPECT_EQ(std::count(out.begin(), out.end(), 1), long(out.size()));
}

// Catches a failed gain-table allocation leaving a processor that corrects through null.
TEST_F(MonoProcessorTest, GainTableAllocationFailureKeepsTheTableInForce) {
    CTestCamera camera({UniformFrame(10)});
    CMonoProcessor processor;
    Configure(processor, 256, 1);
    processor.SetCamera(camera.Camera());
    const auto pBefore = processor.CurrentGainTable();
    allocation::FailAfter(0);
    processor.Configure(0, 80, 320, 320, 10, 256, 256);
    allocation::StopFailing();
    EXPECT_EQ(processor.CurrentGainTable(), pBefore);
    EXPECT_EQ(processor.Acquire(), 1);
}

class PerFramePath : public MonoProcessorTest, public ::testing::WithParamInterface<int> {};

// Catches any heap allocation on the per-frame path (Acquire, Remap, conversions, Histogram).
TEST_P(PerFramePath, AllocatesNothing) {
    CTestCamera camera({PatternFrame(1), PatternFrame(2)});
    CMonoProcessor processor;
    Configure(processor, GetParam());
    processor.SetCamera(camera.Camera());
    std::vector<std::uint8_t> rgb(std::size_t(GetParam()) * GetParam() * 3);
    std::vector<std::uint8_t> unmapped(kUnmappedRgbBytes);
    HistogramCounts counts = {};
    ASSERT_EQ(processor.Acquire(), 1);  // the device's first frame may set itself up

    allocation::StartCounting();
    for (int pass = 0; pass < 3; ++pass) {
        processor.Acquire();
        processor.Remap();
        processor.RemappedToRgb(rgb.data());
        processor.RawToRgb(unmapped.data());
        processor.Histogram(counts);
    }
    EXPECT_EQ(allocation::StopCounting(), 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PerFramePath, ::testing::Values(256, 512));

// Catches a same-size Configure on one thread tearing the gain table another thread is
// correcting with (run under ThreadSanitizer): every corrected frame must come from one
// whole table, gain 1 or gain 10, never a mixture.
TEST_F(MonoProcessorTest, ConcurrentConfigureNeverShowsAHalfBuiltTable) {
    CTestCamera camera({PatternFrame(0)});
    CMonoProcessor processor;
    Configure(processor, 256, 1, 0);
    processor.SetCamera(camera.Camera());
    GainTable gain1{}, gain10{};
    CFrameProcessor::BuildGainTable(gain1, 1);
    CFrameProcessor::BuildGainTable(gain10, 10);

    std::atomic<bool> done{false};
    std::thread configurer([&] {
        for (int k = 0; !done.load(); ++k) {
            processor.Configure(0, 0, 320, 320, k % 2 == 0 ? 10 : 1, 256, 256);
        }
    });
    int mixed = 0;
    for (int frame = 0; frame < 200; ++frame) {
        ASSERT_EQ(processor.Acquire(), 1);
        const std::uint8_t* pPlane = processor.FramePlane(0);
        const std::uint8_t* pRaw = processor.RawFrame();
        bool all1 = true, all10 = true;
        for (std::size_t i = 0; i < kFrameBytes; ++i) {
            if (i % kRings < kFoveaRings) {
                continue;  // the fill moved these
            }
            all1 = all1 && pPlane[i] == gain1[pRaw[i]];
            all10 = all10 && pPlane[i] == gain10[pRaw[i]];
        }
        mixed += !(all1 || all10);
    }
    done = true;
    configurer.join();
    EXPECT_EQ(mixed, 0);
}

}  // namespace

namespace {

// Catches a counting allocator that counts nothing, which would make the proof above void.
TEST(AllocationCounterCheck, SeesAnOrdinaryAllocation) {
    allocation::StartCounting();
    auto pBlock = std::make_unique<std::vector<int>>(100);
    EXPECT_GE(allocation::StopCounting(), 2);
    allocation::FailAfter(0);
    std::unique_ptr<int> pMissing(new (std::nothrow) int(1));
    allocation::StopFailing();
    EXPECT_EQ(pMissing, nullptr);
}

}  // namespace
