// The monochrome per-frame path and its steps, and beside them the same work composed
// from OpenCV, with the ratio of the two printed at the end.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "RatioReporter.h"
#include "platform/device/MemoryDevice.h"
#include "processing/CalibrationFile.h"
#include "processing/FlatField.h"
#include "processing/MonoProcessor.h"
#include "processing/ProcessorFactory.h"
#include "processing/VectorLookup.h"
#include "processing/YuvToRgb.h"
#include "recording/FrameSum.h"
#include "sensor/FoveaTable.h"
#include "sensor/RemapTable.h"

#ifdef PANDRY_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int kOffset = 80;
constexpr int kGain = 3;

// A camera frame with some texture and a dark image of a few levels, so the correction
// clamps at both ends now and then.
FrameBytes TexturedFrame(unsigned seed) {
    FrameBytes frame(kFrameBytes);
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto& sample : frame) {
        state = state * 1664525u + 1013904223u;
        sample = static_cast<std::uint8_t>(state >> 24);
    }
    return frame;
}

std::vector<std::int32_t> DarkImage() {
    std::vector<std::int32_t> dark(kFrameBytes);
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        dark[i] = static_cast<std::int32_t>((i * 7) % 23);
    }
    return dark;
}

// A few textured frames handed out round and round, as the camera would deliver them.
class CBenchFrames {
  public:
    const std::uint8_t* Next() {
        const std::uint8_t* pFrame = m_frames[m_nNext].data();
        m_nNext = (m_nNext + 1) % m_frames.size();
        return pFrame;
    }

  private:
    std::vector<FrameBytes> m_frames{TexturedFrame(1), TexturedFrame(2), TexturedFrame(3)};
    std::size_t m_nNext = 0;
};

// The dark image as a calibration file, so our processor subtracts what OpenCV subtracts.
class CDarkImageFile {
  public:
    CDarkImageFile() {
        char pattern[] = "/tmp/pandry-bench-XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd >= 0) {
            close(fd);
            m_strPath = pattern;
            if (!StoreCalibrationFile(m_strPath, DarkImage().data())) {
                unlink(pattern);
                m_strPath.clear();  // the benchmarks then run without a dark image
            }
        }
    }
    ~CDarkImageFile() {
        if (!m_strPath.empty()) {
            unlink(m_strPath.c_str());
        }
    }
    const std::string& Path() const { return m_strPath; }

  private:
    std::string m_strPath;
};

const CDarkImageFile& DarkImageFile() {
    static const CDarkImageFile file;
    return file;
}

std::unique_ptr<CFrameProcessor> MakeProcessor(int size) {
    ProcessorSettings settings;
    settings.size = size;
    settings.offset = kOffset;
    settings.gain = kGain;
    settings.calibration = DarkImageFile().Path();
    return MakeConfiguredProcessor(settings);
}

void MonoFrame(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    CBenchFrames frames;
    auto pProcessor = MakeProcessor(size);
    std::vector<std::uint8_t> rgb(std::size_t(size) * size * 3);
    HistogramCounts counts = {};
    for (auto _ : state) {
        pProcessor->TakeFrame(frames.Next());
        pProcessor->Remap();
        pProcessor->RemappedToRgb(rgb.data());
        pProcessor->Histogram(counts);
        benchmark::DoNotOptimize(rgb.data());
        benchmark::DoNotOptimize(counts);
    }
}
BENCHMARK(MonoFrame)->Arg(256)->Arg(512)->Unit(benchmark::kMicrosecond);

// Each step of MonoFrame alone, the others run once before: where the frame's time goes.
// Step 0 is TakeFrame, 1 Remap with RemappedToRgb (the remap is done in the conversion's
// pass), 2 Histogram.
void MonoStep(benchmark::State& state) {
    const int step = static_cast<int>(state.range(0));
    const int size = static_cast<int>(state.range(1));
    CBenchFrames frames;
    auto pProcessor = MakeProcessor(size);
    std::vector<std::uint8_t> rgb(std::size_t(size) * size * 3);
    HistogramCounts counts = {};
    pProcessor->TakeFrame(frames.Next());
    for (auto _ : state) {
        if (step == 0) {
            pProcessor->TakeFrame(frames.Next());
        } else if (step == 1) {
            pProcessor->Remap();
            pProcessor->RemappedToRgb(rgb.data());
        } else {
            pProcessor->Histogram(counts);
        }
        benchmark::DoNotOptimize(rgb.data());
        benchmark::DoNotOptimize(counts);
    }
}
BENCHMARK(MonoStep)
    ->ArgNames({"step", "size"})
    ->ArgsProduct({{0, 1, 2}, {256, 512}})
    ->Unit(benchmark::kMicrosecond);

void MonoUnmappedFrame(benchmark::State& state) {
    CBenchFrames frames;
    auto pProcessor = MakeProcessor(256);
    std::vector<std::uint8_t> rgb(kFrameBytes * 3);
    for (auto _ : state) {
        pProcessor->TakeFrame(frames.Next());
        pProcessor->RawToRgb(rgb.data());
        benchmark::DoNotOptimize(rgb.data());
    }
}
BENCHMARK(MonoUnmappedFrame)->Unit(benchmark::kMicrosecond);

void RawToRgb(benchmark::State& state) {
    CBenchFrames frames;
    auto pProcessor = MakeProcessor(256);
    pProcessor->TakeFrame(frames.Next());
    std::vector<std::uint8_t> rgb(kFrameBytes * 3);
    for (auto _ : state) {
        pProcessor->RawToRgb(rgb.data());
        benchmark::DoNotOptimize(rgb.data());
    }
}
BENCHMARK(RawToRgb)->Unit(benchmark::kMicrosecond);

void Correct(benchmark::State& state) {
    GainTable table{};
    CFrameProcessor::BuildGainTable(table, kGain);
    const FrameBytes raw = TexturedFrame(1);
    const std::vector<std::int32_t> dark = DarkImage();
    FrameBytes out(kFrameBytes);
    for (auto _ : state) {
        CFrameProcessor::Correct(table, out.data(), raw.data(), dark.data(), kOffset);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(Correct)->Unit(benchmark::kMicrosecond);

// The correction with a flat image, as the processor runs it when one is given: one pass of
// subtraction, the factor's multiply and shift, the offset, a clamp and the look-up.
void CorrectWithFlatField(benchmark::State& state) {
    GainTable table{};
    CFrameProcessor::BuildGainTable(table, kGain);
    const FrameBytes raw = TexturedFrame(1);
    const std::vector<std::int32_t> dark = DarkImage();
    FlatImage flat;
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        flat.levels[i] = float(20 + i % 7);
    }
    const std::vector<std::int32_t> factors = FlatFactors(flat);
    FrameBytes out(kFrameBytes);
    for (auto _ : state) {
        CorrectWithFlat(table, out.data(), raw.data(), dark.data(), factors.data(), kOffset);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(CorrectWithFlatField)->Unit(benchmark::kMicrosecond);

// The correction as the processor runs it: the prepared shift and the look-up, in each
// form the dispatch may choose (0 plain, 1 AVX2, 2 AVX-512 VBMI).
void CorrectPrepared(benchmark::State& state) {
    const auto level = static_cast<VectorLevel>(state.range(0));
    if (!CanRun(level)) {
        state.SkipWithError("this processor cannot run the form");
        return;
    }
    GainTable table{};
    CFrameProcessor::BuildGainTable(table, kGain);
    const FrameBytes raw = TexturedFrame(1);
    std::vector<std::int16_t> shift(kFrameBytes);
    CFrameProcessor::PrepareCorrectionShift(DarkImage().data(), kOffset, shift.data());
    FrameBytes out(kFrameBytes);
    for (auto _ : state) {
        LookUpShiftedBytes(level, table, raw.data(), shift.data(), out.data(), kFrameBytes);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(CorrectPrepared)->ArgName("form")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// Averaging beside the correction: each frame read is added (one pass), and every Nth the
// rounded mean is taken (one more pass); the time is per frame read.
void AverageFrames(benchmark::State& state) {
    const auto count = static_cast<std::uint32_t>(state.range(0));
    const FrameBytes raw = TexturedFrame(1);
    FrameBytes mean(kFrameBytes);
    CFrameSum sum;
    for (auto _ : state) {
        sum.Add(raw.data());
        if (sum.Count() == count) {
            sum.TakeMean(mean.data());
            benchmark::DoNotOptimize(mean.data());
        }
    }
}
BENCHMARK(AverageFrames)->ArgName("n")->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMicrosecond);

void FillFovea(benchmark::State& state) {
    FrameBytes frame = TexturedFrame(1);
    for (auto _ : state) {
        CFrameProcessor::FillFovea(frame.data());
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(FillFovea)->Unit(benchmark::kMicrosecond);

void RemapGrey(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    CBenchFrames frames;
    auto pProcessor = MakeProcessor(size);
    const FrameBytes frame = TexturedFrame(1);
    std::vector<std::uint8_t> out(std::size_t(size) * size, 128);
    for (auto _ : state) {
        pProcessor->RemapGrey(frame.data(), out.data());
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(RemapGrey)->Arg(256)->Arg(512)->Unit(benchmark::kMicrosecond);

// The converter's full rule and its grey path, at the zoomed size.
void Convert(benchmark::State& state) {
    const bool grey = state.range(0) != 0;
    CYuvToRgb converter;
    converter.BuildTables();
    const std::vector<std::uint8_t> luma(kZoomedPixelCount, 100);
    const std::vector<std::uint8_t> chroma(kZoomedPixelCount, 128);
    std::vector<std::uint8_t> rgb(std::size_t(kZoomedPixelCount) * 3);
    for (auto _ : state) {
        if (grey) {
            converter.ConvertGrey(luma.data(), rgb.data(), kZoomedSize, kZoomedSize);
        } else {
            converter.Convert(luma.data(), chroma.data(), chroma.data(), rgb.data(), kZoomedSize,
                              kZoomedSize);
        }
        benchmark::DoNotOptimize(rgb.data());
    }
}
BENCHMARK(Convert)->ArgName("grey")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

#ifdef PANDRY_HAVE_OPENCV

// The same frame path from OpenCV parts: the correction as arithmetic plus cv::LUT, the
// fovea gather and the remap folded into one pair of nearest-neighbour maps built once,
// the grey expansion as cv::LUT plus a grey-to-BGR conversion and a row flip, and the
// histogram by cv::calcHist. The frame is handed in as ours is.
class COpenCvPipeline {
  public:
    explicit COpenCvPipeline(int size) {
        GainTable table{};
        CFrameProcessor::BuildGainTable(table, kGain);
        m_gainLut = cv::Mat(1, 256, CV_8U);
        std::memcpy(m_gainLut.data, table.data(), 256);

        // The converter's grey level for each luma value, from its own rule.
        CYuvToRgb converter;
        converter.BuildTables();
        m_lumaLut = cv::Mat(1, 256, CV_8U);
        for (int i = 0; i < 256; ++i) {
            std::uint8_t y[8], chroma[8], bgr[24];
            std::memset(y, i, sizeof y);
            std::memset(chroma, 128, sizeof chroma);
            converter.Convert(y, chroma, chroma, bgr, 4, 2);
            m_lumaLut.data[i] = bgr[0];
        }

        const std::vector<std::int32_t> dark = DarkImage();
        m_offsetMinusDark = cv::Mat(kSectors, kRings, CV_16S);
        for (std::size_t i = 0; i < kFrameBytes; ++i) {
            m_offsetMinusDark.ptr<std::int16_t>()[i] = static_cast<std::int16_t>(kOffset - dark[i]);
        }

        // Map each output pixel straight to the raw-frame sample it finally shows.
        m_map = cv::Mat(size, size, CV_16SC2);
        const int step = kZoomedSize / size;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const std::uint16_t e =
                    RemapTable()[std::size_t(y * step) * kZoomedSize + std::size_t(x * step)];
                cv::Vec2s& target = m_map.at<cv::Vec2s>(y, x);
                if (e == kNoSource) {
                    target = cv::Vec2s(-1, -1);  // outside: left as it is
                    continue;
                }
                int sector = e / kRings;
                const int ring = e % kRings;
                if (ring < kFoveaRings) {
                    sector = FoveaTable()[FoveaIndex(sector, ring)];
                }
                if (sector == kNoFoveaSector) {
                    target = cv::Vec2s(-1, -1);  // the fill's 128, which the initial fill gives
                    continue;
                }
                target = cv::Vec2s(static_cast<short>(ring), static_cast<short>(sector));
            }
        }
        m_remapped = cv::Mat(size, size, CV_8U, cv::Scalar(128));
        m_raw = cv::Mat(kSectors, kRings, CV_8U);
        m_counts = cv::Mat(256, 1, CV_32F);
    }

    std::uint8_t* RawFrame() { return m_raw.data; }

    void ProcessFrame() {
        m_raw.convertTo(m_wide, CV_16S);
        cv::add(m_wide, m_offsetMinusDark, m_wide);
        m_wide.convertTo(m_clamped, CV_8U);  // saturates to 0..255
        cv::LUT(m_clamped, m_gainLut, m_corrected);
        cv::remap(m_corrected, m_remapped, m_map, cv::noArray(), cv::INTER_NEAREST,
                  cv::BORDER_TRANSPARENT);
        cv::LUT(m_remapped, m_lumaLut, m_expanded);
        cv::cvtColor(m_expanded, m_bgr, cv::COLOR_GRAY2BGR);
        cv::flip(m_bgr, m_flipped, 0);
        const int channels[] = {0};
        const int histSize[] = {256};
        const float range[] = {0, 256};
        const float* ranges[] = {range};
        cv::calcHist(&m_raw, 1, channels, cv::noArray(), m_counts, 1, histSize, ranges, true, true);
    }

    const std::uint8_t* Bgr() const { return m_flipped.data; }

  private:
    cv::Mat m_gainLut, m_lumaLut, m_offsetMinusDark, m_map;
    cv::Mat m_raw, m_wide, m_clamped, m_corrected, m_remapped, m_expanded, m_bgr, m_flipped;
    cv::Mat m_counts;
};

void OpenCvFrame(benchmark::State& state) {
    cv::setNumThreads(0);  // one thread, as ours
    const int size = static_cast<int>(state.range(0));
    CBenchFrames frames;
    COpenCvPipeline pipeline(size);
    for (auto _ : state) {
        std::memcpy(pipeline.RawFrame(), frames.Next(), kFrameBytes);
        pipeline.ProcessFrame();
        benchmark::DoNotOptimize(pipeline.Bgr());
    }
}
BENCHMARK(OpenCvFrame)->Arg(256)->Arg(512)->Unit(benchmark::kMicrosecond);

#endif

#ifdef PANDRY_HAVE_OPENCV
// OpenCV's table look-up alone over one frame, beside the look-up of CorrectPrepared.
void OpenCvLut(benchmark::State& state) {
    cv::setNumThreads(0);
    GainTable table{};
    CFrameProcessor::BuildGainTable(table, kGain);
    const cv::Mat lut(1, 256, CV_8U, table.data());
    FrameBytes raw = TexturedFrame(1);
    const cv::Mat in(kSectors, kRings, CV_8U, raw.data());
    cv::Mat out(kSectors, kRings, CV_8U);
    for (auto _ : state) {
        cv::LUT(in, lut, out);
        benchmark::DoNotOptimize(out.data);
    }
}
BENCHMARK(OpenCvLut)->Unit(benchmark::kMicrosecond);

// The composition must show the same picture, or the comparison means nothing.
bool SamePictures(int size) {
    CBenchFrames frames;
    auto pProcessor = MakeProcessor(size);
    pProcessor->TakeFrame(frames.Next());
    pProcessor->Remap();
    std::vector<std::uint8_t> ours(std::size_t(size) * size * 3);
    pProcessor->RemappedToRgb(ours.data());

    CBenchFrames theirFrames;
    COpenCvPipeline pipeline(size);
    std::memcpy(pipeline.RawFrame(), theirFrames.Next(), kFrameBytes);
    pipeline.ProcessFrame();
    return std::memcmp(ours.data(), pipeline.Bgr(), ours.size()) == 0;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    return RunBenchmarks(argc, argv, [](const CRatioReporter& reporter) {
#ifdef PANDRY_HAVE_OPENCV
        for (int size : {256, 512}) {
            std::printf("OpenCV composition gives the same %d picture: %s\n", size,
                        SamePictures(size) ? "yes" : "NO");
            reporter.PrintRatio("MonoFrame/" + std::to_string(size),
                                "OpenCvFrame/" + std::to_string(size));
        }
        reporter.PrintRatio(
            "CorrectPrepared/form:" + std::to_string(static_cast<int>(SupportedVectorLevel())),
            "OpenCvLut");
#else
        (void)reporter;
#endif
    });
}
