#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "AllocationCounter.h"
#include "ProcessingTestSupport.h"
#include "camera/PortCamera.h"
#include "platform/device/MemoryDevice.h"
#include "processing/ChannelMap.h"
#include "processing/ColorProcessor.h"
#include "processing/ReconstructColor.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kOffset = 80;
constexpr int kGain = 3;
constexpr std::size_t kRowBytes = std::size_t{kRings} * 3;

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

bool FileExists(const std::string& path) {
    return std::ifstream(path).good();
}

void WriteCalibration(const std::string& path, std::int32_t level) {
    std::vector<std::int32_t> levels(kFrameBytes, level);  // little-endian host
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(levels.data()), std::streamsize(levels.size() * 4));
}

int ByteOfChannel(std::int32_t code) {
    return code == kBlueChannel ? kBlueByte : code == kRedChannel ? kRedByte : kGreenByte;
}

std::int32_t ReadLe32(const Bytes& file, std::size_t at) {
    return std::int32_t(file[at] | file[at + 1] << 8 | file[at + 2] << 16 |
                        std::uint32_t(file[at + 3]) << 24);
}

class ColorProcessorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // A folder of the test's own: suites of other builds may run the same test at once.
        m_strDirectory = m_scratch.File("");
        m_strCalibration = m_scratch.File("calimage.data");
        m_strBitmap = m_scratch.File("picture.bmp");
        m_pResolver = std::make_shared<CMemoryDeviceResolver>();
        m_pPreviousResolver = SetDeviceResolver(m_pResolver);
    }

    void TearDown() override {
        m_processor.reset();
        m_pCamera.reset();
        SetDeviceResolver(m_pPreviousResolver);
    }

    // A configured processor reading the given frames from a fresh in-memory camera.
    CColorProcessor& Start(std::vector<FrameBytes> frames, int size = kNormalSize,
                           DeviceFaults faults = {}) {
        m_pResolver->SetDevice(1, MemoryDeviceScript{std::move(frames), true, faults});
        m_pCamera = std::make_unique<CPortCamera>();
        EXPECT_NE(m_pCamera->Open(1), 0);
        m_processor = std::make_unique<CColorProcessor>();
        m_processor->SetCalibrationPath(m_strCalibration);
        m_processor->Configure(0, kOffset, 320, 320, kGain, size, size);
        m_processor->SetCamera(m_pCamera.get());
        return *m_processor;
    }

    CScratchDirectory m_scratch;
    std::string m_strDirectory;  // ends with a separator
    std::string m_strCalibration;
    std::string m_strBitmap;
    std::shared_ptr<CMemoryDeviceResolver> m_pResolver;
    std::shared_ptr<IDeviceResolver> m_pPreviousResolver;
    std::unique_ptr<CPortCamera> m_pCamera;
    std::unique_ptr<CColorProcessor> m_processor;
};

}  // namespace

// Catches a histogram that counts the corrected frame, counts uncounted fovea positions,
// clears the caller's counts, or maps codes to the wrong rows.
TEST_F(ColorProcessorTest, ZeroFrameHistogramCountsEachChannelOnce) {
    CColorProcessor& p = Start({UniformFrame(0)});
    ASSERT_EQ(p.Acquire(), 1);
    HistogramCounts counts{};
    p.Histogram(counts);
    for (int channel = 0; channel < 3; ++channel) {
        EXPECT_EQ(counts[channel][0], 10962) << channel;
        for (int v = 1; v < 256; ++v) {
            ASSERT_EQ(counts[channel][v], 0) << channel << "," << v;
        }
    }
    p.Histogram(counts);
    EXPECT_EQ(counts[0][0], 2 * 10962);
    EXPECT_EQ(std::count(p.ChannelMap(), p.ChannelMap() + kFrameBytes, kUncountedChannel), 5418);
}

// Catches a histogram walk that counts a sample in another row than the channel map names
// (a fovea ring counted or left out at a sector's edge, even and odd rings swapped).
TEST_F(ColorProcessorTest, HistogramCountsEachSampleInTheRowTheMapNames) {
    const Bytes raw = RandomBytes(kFrameBytes, 12);
    CColorProcessor& p = Start({raw});
    ASSERT_EQ(p.Acquire(), 1);
    HistogramCounts expected{};
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        if (p.ChannelMap()[i] != kUncountedChannel) {
            ++expected[p.ChannelMap()[i]][raw[i]];
        }
    }
    HistogramCounts counts{};
    p.Histogram(counts);
    for (int channel = 0; channel < 3; ++channel) {
        ASSERT_TRUE(std::equal(counts[channel], counts[channel] + 256, expected[channel]))
            << "channel " << channel;
    }
}

// Catches a channel map that disagrees with the mosaic the reconstruction uses: every
// counted sample must land, unchanged, in the byte its code names.
TEST_F(ColorProcessorTest, ChannelCodesNameTheBytesSamplesLandIn) {
    CColorProcessor& p = Start({RandomBytes(kFrameBytes, 11)});
    ASSERT_EQ(p.Acquire(), 1);
    for (int s = 0; s < kSectors; ++s) {
        for (int r = 0; r < kRings; ++r) {
            const std::int32_t code = p.ChannelMap()[FrameIndex(s, r)];
            if (r < kFoveaRings) {
                ASSERT_EQ(code == kUncountedChannel, s - s % 3 >= 6 * r) << s << "," << r;
            }
            if (code == kUncountedChannel || (s == 0 && r == kRings - 1)) {
                continue;  // (0, 151) is a copy of (0, 150)
            }
            ASSERT_EQ(p.ColorFrame()[FrameIndex(s, r) * 3 + ByteOfChannel(code)],
                      p.ProcessedFrame()[FrameIndex(s, r)])
                << s << "," << r;
        }
    }
}

// Catches a per-frame chain that skips or reorders correction, fovea fill and
// reconstruction, or ignores the calibration image or the offset.
TEST_F(ColorProcessorTest, AcquireCorrectsFillsAndReconstructs) {
    WriteCalibration(m_strCalibration, 60);
    const Bytes raw = RandomBytes(kFrameBytes, 5);
    CColorProcessor& p = Start({raw});
    ASSERT_EQ(p.Acquire(), 1);

    Bytes expectedFrame(kFrameBytes);
    Bytes expectedColor(kColorFrameBytes);
    CFrameProcessor::Correct(*p.CurrentGainTable(), expectedFrame.data(), raw.data(),
                             p.CalibrationImage(), kOffset);
    CFrameProcessor::FillFovea(expectedFrame.data());
    CColorProcessor::ReconstructColor(expectedFrame.data(), expectedColor.data());
    EXPECT_EQ(p.CalibrationImage()[123], 60);
    EXPECT_EQ(Bytes(p.RawFrame(), p.RawFrame() + kFrameBytes), raw);
    EXPECT_EQ(Bytes(p.ProcessedFrame(), p.ProcessedFrame() + kFrameBytes), expectedFrame);
    EXPECT_EQ(Bytes(p.ColorFrame(), p.ColorFrame() + kColorFrameBytes), expectedColor);
}

// Catches a failed read that still runs the processing steps over the old raw frame.
TEST_F(ColorProcessorTest, FailedReadLeavesEveryBlockAsItWas) {
    DeviceFaults faults;
    faults.failAfterFrames = 1;
    CColorProcessor& p = Start({RandomBytes(kFrameBytes, 3)}, kNormalSize, faults);
    ASSERT_EQ(p.Acquire(), 1);
    p.Remap();
    const Bytes color(p.ColorFrame(), p.ColorFrame() + kColorFrameBytes);
    const Bytes processed(p.ProcessedFrame(), p.ProcessedFrame() + kFrameBytes);
    EXPECT_EQ(p.Acquire(), 0);
    EXPECT_EQ(Bytes(p.ColorFrame(), p.ColorFrame() + kColorFrameBytes), color);
    EXPECT_EQ(Bytes(p.ProcessedFrame(), p.ProcessedFrame() + kFrameBytes), processed);
}

// Catches the unmapped view in sector order (it must be reversed) or rows cut short.
TEST_F(ColorProcessorTest, RawToRgbPutsSector251FirstAndSector0Last) {
    CColorProcessor& p = Start({RandomBytes(kFrameBytes, 8)});
    ASSERT_EQ(p.Acquire(), 1);
    Bytes rgb(kColorFrameBytes, 0);
    p.RawToRgb(rgb.data());
    for (int i = 0; i < kSectors; ++i) {
        ASSERT_EQ(std::memcmp(&rgb[i * kRowBytes], p.ColorFrame() + (kSectors - 1 - i) * kRowBytes,
                              kRowBytes),
                  0)
            << "row " << i;
    }
}

// Catches the remapped view copied without reversing its rows, a remap that reads the
// wrong block, or a border that is not black.
TEST_F(ColorProcessorTest, RemappedToRgbPutsRowZeroLast) {
    CColorProcessor& p = Start({RandomBytes(kFrameBytes, 9)});
    ASSERT_EQ(p.Acquire(), 1);
    p.Remap();
    const std::size_t rowBytes = kNormalSize * 3;
    const std::uint8_t* pImage = p.RemappedImage();
    EXPECT_EQ(std::memcmp(pImage + (128 * kNormalSize + 128) * 3, p.ColorFrame(), 3), 0);
    EXPECT_EQ(pImage[0] | pImage[1] | pImage[2], 0);
    Bytes rgb(kNormalPixelCount * 3, 0);
    p.RemappedToRgb(rgb.data());
    for (int i = 0; i < kNormalSize; ++i) {
        ASSERT_EQ(
            std::memcmp(&rgb[i * rowBytes], pImage + (kNormalSize - 1 - i) * rowBytes, rowBytes), 0)
            << "row " << i;
    }
}

struct SaveCase {
    int size;     // the processor's output size
    int columns;  // what the viewer passes
    int rows;
    int fileWidth;  // 0: nothing written
    int fileHeight;
};

void PrintTo(const SaveCase& c, std::ostream* os) {
    *os << "size " << c.size << " saved as " << c.columns << "x" << c.rows;
}

class ColorSaveBitmap : public ColorProcessorTest,
                        public ::testing::WithParamInterface<SaveCase> {};

// Catches a save that writes the wrong picture, at the wrong size, or upside down against
// the display, and a refused size that still writes a file.
TEST_P(ColorSaveBitmap, WritesTheDisplayedPictureOrNothing) {
    const SaveCase c = GetParam();
    CColorProcessor& p = Start({RandomBytes(kFrameBytes, 21)}, c.size);
    ASSERT_EQ(p.Acquire(), 1);
    p.Remap();
    const int result = p.SaveBitmap(c.columns, c.rows, m_strBitmap.c_str());
    if (c.fileWidth == 0) {
        EXPECT_EQ(result, 0);
        EXPECT_FALSE(FileExists(m_strBitmap));
        return;
    }
    ASSERT_EQ(result, 1);
    const std::size_t pixelBytes = std::size_t(c.fileWidth) * c.fileHeight * 3;
    Bytes shown(pixelBytes, 0);
    if (c.fileWidth == kRings) {
        p.RawToRgb(shown.data());
    } else {
        p.RemappedToRgb(shown.data());
    }
    const Bytes file = ReadFile(m_strBitmap);
    ASSERT_EQ(file.size(), 58 + pixelBytes);
    EXPECT_EQ(ReadLe32(file, 18), c.fileWidth);
    EXPECT_EQ(ReadLe32(file, 22), c.fileHeight);
    EXPECT_TRUE(std::equal(shown.begin(), shown.end(), file.begin() + 58));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ColorSaveBitmap,
    ::testing::Values(SaveCase{256, 252, 152, 152, 252}, SaveCase{512, 252, 152, 152, 252},
                      SaveCase{256, 256, 256, 256, 256}, SaveCase{512, 512, 512, 512, 512},
                      SaveCase{256, 100, 100, 0, 0}, SaveCase{256, 512, 512, 0, 0},
                      SaveCase{256, -256, -256, 0, 0}));

// Catches a save into a missing directory that reports success.
TEST_F(ColorProcessorTest, SaveIntoMissingDirectoryFails) {
    CColorProcessor& p = Start({UniformFrame(1)});
    EXPECT_EQ(p.SaveBitmap(252, 152, (m_strDirectory + "no_such_dir/x.bmp").c_str()), 0);
}

// Catches a same-size Configure that reallocates, drops the in-memory calibration or the
// pictures, or fails to rebuild the gain table; and a new size that keeps old contents or
// the old calibration.
TEST_F(ColorProcessorTest, ConfigureKeepsBlocksForSameSizeAndReplacesThemForNew) {
    WriteCalibration(m_strCalibration, 5);
    CColorProcessor& p = Start({RandomBytes(kFrameBytes, 4)});
    ASSERT_EQ(p.Acquire(), 1);
    p.Remap();
    const std::uint8_t* pColor = p.ColorFrame();
    const std::uint8_t* pRemapped = p.RemappedImage();
    const Bytes color(pColor, pColor + kColorFrameBytes);
    const auto pOldTable = p.CurrentGainTable();
    WriteCalibration(m_strCalibration, 9);

    p.Configure(0, kOffset, 320, 320, kGain + 2, kNormalSize, kNormalSize);
    EXPECT_EQ(p.ColorFrame(), pColor);
    EXPECT_EQ(p.RemappedImage(), pRemapped);
    EXPECT_EQ(Bytes(pColor, pColor + kColorFrameBytes), color);
    EXPECT_EQ(p.CalibrationImage()[0], 5);
    EXPECT_NE((*p.CurrentGainTable())[10], (*pOldTable)[10]);

    p.Configure(0, kOffset, 320, 320, kGain, kZoomedSize, kZoomedSize);
    EXPECT_EQ(p.PixelCount(), kZoomedPixelCount);
    EXPECT_EQ(p.CalibrationImage()[kFrameBytes - 1], 9);
    EXPECT_TRUE(std::all_of(p.ColorFrame(), p.ColorFrame() + kColorFrameBytes,
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(p.RemappedImage(), p.RemappedImage() + kZoomedPixelCount * 3,
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(std::count(p.ChannelMap(), p.ChannelMap() + kFrameBytes, kUncountedChannel), 5418);
}

// Catches operations that dereference blocks an unconfigured processor does not hold.
TEST(ColorProcessorUnconfigured, EveryOperationIsASafeNoOp) {
    CColorProcessor p;
    Bytes buffer(kColorFrameBytes, 0xAB);
    HistogramCounts counts{};
    EXPECT_EQ(p.Acquire(), 0);
    p.Remap();
    p.RawToRgb(buffer.data());
    p.RemappedToRgb(buffer.data());
    p.Histogram(counts);
    p.BuildChannelMap();
    EXPECT_EQ(p.SaveBitmap(252, 152, "never_written.bmp"), 0);
    EXPECT_FALSE(FileExists("never_written.bmp"));
    EXPECT_EQ(buffer, Bytes(kColorFrameBytes, 0xAB));
    EXPECT_EQ(counts[0][0], 0);
}

// Catches an allocation failure in Configure leaving a half-built processor that later
// operations trust, for a first configuration and for a change of size.
TEST_F(ColorProcessorTest, AllocationFailureInConfigureLeavesItUnconfigured) {
    CColorProcessor& p = Start({RandomBytes(kFrameBytes, 12)});
    Bytes out(kZoomedPixelCount * 3, 1);
    int failures = 0;
    for (std::int64_t failAt = 0; failAt < 32; ++failAt) {
        allocation::FailAfter(failAt);
        p.Configure(0, kOffset, 320, 320, kGain, kZoomedSize, kZoomedSize);
        allocation::StopFailing();
        if (p.IsConfigured()) {
            break;  // every allocation Configure makes has been made to fail once
        }
        ++failures;
        EXPECT_EQ(p.Acquire(), 0) << "fail at " << failAt;
        EXPECT_EQ(p.SaveBitmap(252, 152, m_strBitmap.c_str()), 0);
        p.Remap();
        p.RemappedToRgb(out.data());
        p.RawToRgb(out.data());
        HistogramCounts counts{};
        p.Histogram(counts);
        EXPECT_EQ(counts[0][0] + counts[1][0] + counts[2][0], 0);
        // A later Configure with memory to spare recovers.
        p.Configure(0, kOffset, 320, 320, kGain, kNormalSize, kNormalSize);
        ASSERT_TRUE(p.IsConfigured());
        EXPECT_EQ(p.Acquire(), 1);
    }
    EXPECT_GE(failures, 6);  // raw frame, calibration and the four colour blocks
    EXPECT_FALSE(FileExists(m_strBitmap));
    EXPECT_EQ(std::count(out.begin(), out.end(), 1), long(out.size()));
}

class ColorPerFramePath : public ColorProcessorTest, public ::testing::WithParamInterface<int> {};

// Catches any heap allocation on the per-frame path.
TEST_P(ColorPerFramePath, AllocatesNothing) {
    CColorProcessor& p =
        Start({RandomBytes(kFrameBytes, 1), RandomBytes(kFrameBytes, 2)}, GetParam());
    Bytes rgb(std::size_t(GetParam()) * GetParam() * 3);
    Bytes unmapped(kColorFrameBytes);
    HistogramCounts counts{};
    ASSERT_EQ(p.Acquire(), 1);  // the device's first frame may set itself up

    allocation::StartCounting();
    for (int pass = 0; pass < 3; ++pass) {
        p.Acquire();
        p.Remap();
        p.RemappedToRgb(rgb.data());
        p.RawToRgb(unmapped.data());
        p.Histogram(counts);
    }
    EXPECT_EQ(allocation::StopCounting(), 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ColorPerFramePath, ::testing::Values(256, 512));

// Catches a same-size Configure (the Median switch) that rewrites the channel map or the
// gain table under a running acquisition (run under ThreadSanitizer): every histogram
// must count exactly the counted samples.
TEST_F(ColorProcessorTest, SameSizeConfigureBesideAcquisitionKeepsTheMap) {
    CColorProcessor& p = Start({RandomBytes(kFrameBytes, 13)});
    std::atomic<bool> done{false};
    std::thread configurer([&] {
        for (int k = 0; !done.load(); ++k) {
            p.Configure(k % 2, kOffset, 320, 320, kGain, kNormalSize, kNormalSize);
        }
    });
    for (int frame = 0; frame < 50; ++frame) {
        ASSERT_EQ(p.Acquire(), 1);
        HistogramCounts counts{};
        p.Histogram(counts);
        long total = 0;
        for (const auto& row : counts) {
            total = std::accumulate(std::begin(row), std::end(row), total);
        }
        ASSERT_EQ(total, long(kFrameBytes) - 5418);
    }
    done = true;
    configurer.join();
}
