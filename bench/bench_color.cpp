// The colour sensor's per-frame path, and the OpenCV composition of comparable work
// (gain look-up, 3-channel nearest-neighbour remap, row flip) when OpenCV is present.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "RatioReporter.h"
#include "processing/ColorProcessor.h"
#include "processing/MonoProcessor.h"
#include "sensor/Defaults.h"
#include "sensor/RemapTable.h"

#ifdef PANDRY_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes RandomFrame(unsigned seed) {
    std::mt19937 random(seed);
    Bytes frame(kFrameBytes);
    for (auto& sample : frame) {
        sample = std::uint8_t(random());
    }
    return frame;
}

std::vector<std::int32_t> RandomCalibration() {
    std::mt19937 random(99);
    std::vector<std::int32_t> levels(kFrameBytes);
    for (auto& level : levels) {
        level = std::int32_t(random() % 40);
    }
    return levels;
}

// A configured colour processor handed a few random frames round and round; the
// calibration file path points nowhere, so the dark image is zero.
class ColorRig {
  public:
    explicit ColorRig(int size) {
        m_processor.SetCalibrationPath("/nonexistent/calimage.data");
        m_processor.Configure(kDefaultMedian, kDefaultOffset, kDefaultAux, kDefaultAux,
                              kDefaultGain, size, size);
        m_rgb.resize(std::size_t(size) * size * 3);
    }

    CColorProcessor& Processor() { return m_processor; }
    std::uint8_t* Rgb() { return m_rgb.data(); }
    // The next frame into the processor, as Acquire would read it from the camera.
    void TakeNextFrame() {
        m_processor.TakeFrame(m_frames[m_nNext].data());
        m_nNext = (m_nNext + 1) % m_frames.size();
    }

  private:
    CColorProcessor m_processor;
    std::vector<Bytes> m_frames{RandomFrame(1), RandomFrame(2), RandomFrame(3)};
    std::size_t m_nNext = 0;
    Bytes m_rgb;
};

void BM_ColorFramePath(benchmark::State& state) {
    ColorRig rig(int(state.range(0)));
    CColorProcessor& p = rig.Processor();
    HistogramCounts counts{};
    for (auto _ : state) {
        rig.TakeNextFrame();
        p.Remap();
        p.RemappedToRgb(rig.Rgb());
        p.Histogram(counts);
        benchmark::DoNotOptimize(rig.Rgb());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ColorFramePath)->Arg(kNormalSize)->Arg(kZoomedSize)->Unit(benchmark::kMicrosecond);

// The black-and-white processor's same steps on the same frames, so that the two paths'
// ratio comes from one run.
void BM_MonoFramePath(benchmark::State& state) {
    const int size = int(state.range(0));
    CMonoProcessor processor;
    processor.SetCalibrationPath("/nonexistent/calimage.data");
    processor.Configure(kDefaultMedian, kDefaultOffset, kDefaultAux, kDefaultAux, kDefaultGain,
                        size, size);
    const std::vector<Bytes> frames{RandomFrame(1), RandomFrame(2), RandomFrame(3)};
    Bytes rgb(std::size_t(size) * size * 3);
    HistogramCounts counts{};
    std::size_t next = 0;
    for (auto _ : state) {
        processor.TakeFrame(frames[next].data());
        next = (next + 1) % frames.size();
        processor.Remap();
        processor.RemappedToRgb(rgb.data());
        processor.Histogram(counts);
        benchmark::DoNotOptimize(rgb.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MonoFramePath)->Arg(kNormalSize)->Arg(kZoomedSize)->Unit(benchmark::kMicrosecond);

// What a colour remap or reconstruction could cost at best: writing its bytes once.
void BM_WriteFloor(benchmark::State& state) {
    Bytes bytes(std::size_t(state.range(0)));
    for (auto _ : state) {
        std::memset(bytes.data(), int(bytes[1]) + 1, bytes.size());
        benchmark::DoNotOptimize(bytes.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_WriteFloor)
    ->ArgName("bytes")
    ->Arg(kColorFrameBytes)
    ->Arg(kNormalPixelCount * 3)
    ->Arg(kZoomedPixelCount * 3)
    ->Unit(benchmark::kMicrosecond);

// A corrected frame of a real scene rarely spans 0..255, so the stretch has work to do.
// The frame is stretched in place, so each pass starts again from the narrow-range copy
// (a 38 KB copy, about a microsecond, is timed with it).
void BM_ReconstructColor(benchmark::State& state) {
    Bytes narrow = RandomFrame(4);
    for (auto& sample : narrow) {
        sample = std::uint8_t(20 + sample * 200 / 255);
    }
    Bytes frame(kFrameBytes);
    Bytes color(kColorFrameBytes);
    for (auto _ : state) {
        std::memcpy(frame.data(), narrow.data(), kFrameBytes);
        CColorProcessor::ReconstructColor(frame.data(), color.data());
        benchmark::DoNotOptimize(color.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ReconstructColor)->Unit(benchmark::kMicrosecond);

// The histogram of one frame's raw samples by channel, the counts cleared each time.
void BM_ColorHistogram(benchmark::State& state) {
    ColorRig rig(kNormalSize);
    rig.TakeNextFrame();
    HistogramCounts counts{};
    for (auto _ : state) {
        std::memset(counts, 0, sizeof counts);
        rig.Processor().Histogram(counts);
        benchmark::DoNotOptimize(counts);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ColorHistogram)->Unit(benchmark::kMicrosecond);

// The three-byte remap alone, from a reconstructed random frame.
void BM_RemapRgb(benchmark::State& state) {
    ColorRig rig(int(state.range(0)));
    CColorProcessor& p = rig.Processor();
    rig.TakeNextFrame();
    for (auto _ : state) {
        p.Remap();
        benchmark::DoNotOptimize(p.RemappedImage());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RemapRgb)->Arg(kNormalSize)->Arg(kZoomedSize)->Unit(benchmark::kMicrosecond);

// The remap into the layouts it writes straight: the display's (bottom-up) and the one
// files and scripts take (top-down, red first).
void BM_RemapRgbInto(benchmark::State& state) {
    ColorRig rig(int(state.range(0)));
    CColorProcessor& p = rig.Processor();
    const bool topDown = state.range(1) != 0;
    rig.TakeNextFrame();
    for (auto _ : state) {
        p.Remap();
        if (topDown) {
            p.RemappedToTopDownRgb(rig.Rgb());
        } else {
            p.RemappedToRgb(rig.Rgb());
        }
        benchmark::DoNotOptimize(rig.Rgb());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RemapRgbInto)
    ->ArgNames({"size", "topdown"})
    ->ArgsProduct({{kNormalSize, kZoomedSize}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

// Correction, remap and the row-reversed copy: the steps the OpenCV composition matches.
void BM_ColorCorrectRemapCopy(benchmark::State& state) {
    ColorRig rig(int(state.range(0)));
    CColorProcessor& p = rig.Processor();
    rig.TakeNextFrame();
    const Bytes raw = RandomFrame(5);
    const std::vector<std::int32_t> calibration = RandomCalibration();
    Bytes corrected(kFrameBytes);
    const auto pTable = p.CurrentGainTable();
    for (auto _ : state) {
        CFrameProcessor::Correct(*pTable, corrected.data(), raw.data(), calibration.data(), 80);
        p.Remap();
        p.RemappedToRgb(rig.Rgb());
        benchmark::DoNotOptimize(corrected.data());
        benchmark::DoNotOptimize(rig.Rgb());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ColorCorrectRemapCopy)
    ->Arg(kNormalSize)
    ->Arg(kZoomedSize)
    ->Unit(benchmark::kMicrosecond);

#ifdef PANDRY_HAVE_OPENCV

// The same three steps composed from OpenCV: subtract the dark image and add the offset
// with saturation, cv::LUT through the gain table, cv::remap of the 3-channel frame with
// INTER_NEAREST (fixed-point maps converted once), and cv::flip for the row order.
void BM_OpenCvCorrectRemapCopy(benchmark::State& state) {
    cv::setNumThreads(1);
    const int size = int(state.range(0));
    const int step = kZoomedSize / size;
    ColorRig rig(size);
    CColorProcessor& p = rig.Processor();
    rig.TakeNextFrame();

    cv::Mat mapX(size, size, CV_32FC1);
    cv::Mat mapY(size, size, CV_32FC1);
    const std::uint16_t* pTable = RemapTable();
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const std::uint16_t entry = pTable[std::size_t(y * step) * kZoomedSize + x * step];
            const bool inside = entry != kNoSource;
            mapX.at<float>(y, x) = inside ? float(entry % kRings) : -1.0f;
            mapY.at<float>(y, x) = inside ? float(entry / kRings) : -1.0f;
        }
    }
    cv::Mat fixedMap;
    cv::Mat unusedMap;
    cv::convertMaps(mapX, mapY, fixedMap, unusedMap, CV_16SC2, true);

    Bytes raw = RandomFrame(5);
    std::vector<std::int32_t> calibration = RandomCalibration();
    const auto pGain = p.CurrentGainTable();
    const cv::Mat rawMat(kSectors, kRings, CV_8UC1, raw.data());
    const cv::Mat calibrationMat(kSectors, kRings, CV_32SC1, calibration.data());
    const cv::Mat gainMat(1, 256, CV_8UC1, const_cast<std::uint8_t*>(pGain->data()));
    const cv::Mat colorMat(kSectors, kRings, CV_8UC3, const_cast<std::uint8_t*>(p.ColorFrame()));
    cv::Mat raw32;
    cv::Mat difference;
    cv::Mat clamped;
    cv::Mat corrected;
    cv::Mat remapped(size, size, CV_8UC3, cv::Scalar::all(0));
    cv::Mat flipped;
    for (auto _ : state) {
        rawMat.convertTo(raw32, CV_32S);
        cv::subtract(raw32, calibrationMat, difference);
        difference.convertTo(clamped, CV_8U, 1.0, 80.0);
        cv::LUT(clamped, gainMat, corrected);
        cv::remap(colorMat, remapped, fixedMap, cv::noArray(), cv::INTER_NEAREST,
                  cv::BORDER_TRANSPARENT);
        cv::flip(remapped, flipped, 0);
        benchmark::DoNotOptimize(corrected.data);
        benchmark::DoNotOptimize(flipped.data);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_OpenCvCorrectRemapCopy)
    ->Arg(kNormalSize)
    ->Arg(kZoomedSize)
    ->Unit(benchmark::kMicrosecond);

#endif

}  // namespace

int main(int argc, char** argv) {
    return RunBenchmarks(argc, argv, [](const CRatioReporter& reporter) {
        for (int size : {kNormalSize, kZoomedSize}) {
            reporter.PrintRatio("BM_MonoFramePath/" + std::to_string(size),
                                "BM_ColorFramePath/" + std::to_string(size));
        }
        for (int size : {kNormalSize, kZoomedSize}) {
            reporter.PrintRatio("BM_ColorCorrectRemapCopy/" + std::to_string(size),
                                "BM_OpenCvCorrectRemapCopy/" + std::to_string(size));
        }
    });
}
