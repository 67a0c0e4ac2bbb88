// Every remap form against the plain table walk, and the remapped view with the fovea fill
// folded in against the frame filled first.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <utility>

#include "ProcessingTestSupport.h"
#include "processing/ColorChunksAvx2.h"
#include "processing/ColorProcessor.h"
#include "processing/GreyChunksAvx2.h"
#include "processing/MonoProcessor.h"
#include "processing/RemapChunks.h"
#include "processing/SampleTally.h"
#include "processing/VectorLookup.h"
#include "processing/YuvToRgb.h"
#include "sensor/FoveaTable.h"
#include "sensor/RemapTable.h"

namespace {

// Random, all black, all white, and every sample its own index: runs of equal values
// merge and split differently in each.
std::vector<std::uint8_t> TestFrame(int kind, std::size_t bytes) {
    switch (kind) {
        case 0:
            return RandomBytes(bytes, 5);
        case 1:
            return std::vector<std::uint8_t>(bytes, 0);
        case 2:
            return std::vector<std::uint8_t>(bytes, 255);
        default: {
            std::vector<std::uint8_t> frame(bytes);
            for (std::size_t i = 0; i < bytes; ++i) {
                frame[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
            }
            return frame;
        }
    }
}
constexpr int kFrameKinds = 4;

// The rule itself: output pixel (x, y) shows table entry (x * step, y * step).
void PlainRemap(int size, const std::uint8_t* pSource, std::uint8_t* pOut, int bytesPerPixel) {
    const int step = kRemapTableSize / size;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const std::uint16_t e =
                RemapTable()[std::size_t(y * step) * kRemapTableSize + x * step];
            if (e == kNoSource) {
                continue;
            }
            for (int b = 0; b < bytesPerPixel; ++b) {
                pOut[(std::size_t(y) * size + x) * bytesPerPixel + b] =
                    pSource[std::size_t(e) * bytesPerPixel + b];
            }
        }
    }
}

std::vector<std::uint8_t> RowsReversed(const std::uint8_t* pImage, int size) {
    const std::size_t rowBytes = std::size_t(size) * 3;
    std::vector<std::uint8_t> rows(rowBytes * size);
    for (int y = 0; y < size; ++y) {
        std::copy_n(pImage + std::size_t(size - 1 - y) * rowBytes, rowBytes,
                    rows.begin() + std::ptrdiff_t(y * rowBytes));
    }
    return rows;
}

struct FormCase {
    int size;
    VectorLevel level;
};

std::string FormLabel(const FormCase& c) {
    const char* form = c.level == VectorLevel::kAvx512Vbmi ? "_chunks"
                       : c.level == VectorLevel::kAvx2     ? "_avx2"
                                                           : "_runs";
    return "size" + std::to_string(c.size) + form;
}

void PrintTo(const FormCase& c, std::ostream* os) {
    *os << FormLabel(c);
}

std::string FormName(const ::testing::TestParamInfo<FormCase>& info) {
    return FormLabel(info.param);
}

class RemapForm : public ::testing::TestWithParam<FormCase> {
  protected:
    void SetUp() override {
        if ((Level() == VectorLevel::kAvx512Vbmi && !RemapByChunksAvailable()) ||
            (Level() == VectorLevel::kAvx2 && !ColorChunksAvx2Available())) {
            GTEST_SKIP() << "this processor cannot run the form";
        }
        m_processor.SetCalibrationPath("");
        m_processor.Configure(0, 80, 320, 320, 3, Size(), Size());
    }
    int Size() const { return GetParam().size; }
    VectorLevel Level() const { return GetParam().level; }
    std::size_t Pixels() const { return std::size_t(Size()) * Size(); }

    CMonoProcessor m_processor;
};

// Catches a form that differs from the rule in any byte, writes a pixel outside the disc
// (the destination starts random and must keep those bytes), or mixes up byte order.
TEST_P(RemapForm, GivesTheBytesOfThePlainWalk) {
    for (int kind = 0; kind < kFrameKinds; ++kind) {
        const auto grey = TestFrame(kind, kFrameBytes);
        auto expected = RandomBytes(Pixels(), 40 + kind);
        auto actual = expected;
        PlainRemap(Size(), grey.data(), expected.data(), 1);
        m_processor.RemapGrey(grey.data(), actual.data(), Level());
        ASSERT_EQ(actual, expected) << "grey, frame kind " << kind;

        const auto color = TestFrame(kind, kColorFrameBytes);
        expected = RandomBytes(Pixels() * 3, 50 + kind);
        actual = expected;
        PlainRemap(Size(), color.data(), expected.data(), 3);
        m_processor.RemapRgb(color.data(), actual.data(), Level());
        ASSERT_EQ(actual, expected) << "colour, frame kind " << kind;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, RemapForm,
    ::testing::Values(FormCase{256, VectorLevel::kPlain}, FormCase{256, VectorLevel::kAvx2},
                      FormCase{256, VectorLevel::kAvx512Vbmi}, FormCase{512, VectorLevel::kPlain},
                      FormCase{512, VectorLevel::kAvx2}, FormCase{512, VectorLevel::kAvx512Vbmi}),
    FormName);

// The fold runs only by chunks.
class FoldedRemap : public RemapForm {};

// Catches a folded table that gathers the wrong fovea sample or writes a cell the fill
// leaves empty: from the unfilled frame it must give the filled frame's picture, on the
// grey planes' 128 background.
TEST_P(FoldedRemap, GivesThePictureOfTheFilledFrame) {
    for (int kind = 0; kind < kFrameKinds; ++kind) {
        const auto unfilled = TestFrame(kind, kFrameBytes);
        auto filled = unfilled;
        CFrameProcessor::FillFovea(filled.data());
        std::vector<std::uint8_t> expected(Pixels(), 128);
        std::vector<std::uint8_t> actual(Pixels(), 128);
        PlainRemap(Size(), filled.data(), expected.data(), 1);
        ASSERT_TRUE(m_processor.RemapGreyFoldingFovea(unfilled.data(), actual.data()));
        ASSERT_EQ(actual, expected) << "frame kind " << kind;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, FoldedRemap,
                         ::testing::Values(FormCase{256, VectorLevel::kAvx512Vbmi},
                                           FormCase{512, VectorLevel::kAvx512Vbmi}),
                         FormName);

// Catches chunks that lose or double a pixel: every disc pixel is written exactly once and
// no run index reaches past the 16-run window a quarter chunk may use. Pixels are copied
// from the row above only where that pixel shows the same table entry, never one gathered
// as well.
TEST(RemapChunks, CoverTheDiscOnceWithinTheirWindows) {
    for (const int size : {256, 512}) {
        const int step = kRemapTableSize / size;
        const auto entryOf = [&](int p) {
            return RemapTable()[std::size_t(p / size * step) * kRemapTableSize + p % size * step];
        };
        for (const int kind : {0, 1, 2}) {
            const bool fold = kind == 1;
            const RemapChunkList list = kind == 2
                                            ? RemapColorChunksFor(std::uint32_t(size) * size)
                                            : RemapChunksFor(std::uint32_t(size) * size, fold);
            ASSERT_GT(list.chunkCount, 0);
            std::vector<int> writes(std::size_t(size) * size, 0);
            for (int c = 0; c < list.chunkCount; ++c) {
                const RemapChunk& chunk = list.pChunks[c];
                ASSERT_EQ(chunk.written & chunk.copied, 0u);
                std::array<int, kChunkPixels> runOf{};
                for (int j = 0; j < kChunkPixels; ++j) {
                    const std::uint8_t index = list.pRunIndex[std::size_t(c) * kChunkPixels + j];
                    runOf[std::size_t(j)] = index & kRunNumberBits;
                    if (kind == 2) {
                        const std::uint8_t how = (chunk.copied >> j) & 1    ? kCopiedPixel
                                                 : (chunk.written >> j) & 1 ? 0
                                                                            : kNotGatheredPixel;
                        ASSERT_EQ(index & ~kRunNumberBits, how) << "pixel " << j;
                    }
                }
                const int* pIndex = runOf.data();
                for (int j = 0; j < kChunkPixels; ++j) {
                    const int p = int(chunk.firstPixel) + j;
                    writes[p] += ((chunk.written | chunk.copied) >> j) & 1;
                    if ((chunk.copied >> j) & 1) {
                        ASSERT_GE(p, size);
                        ASSERT_EQ(entryOf(p), entryOf(p - size)) << "pixel " << p;
                    }
                    if (j > 0) {  // the AVX2 colour shuffles reach only that far
                        ASSERT_LE(pIndex[j] - pIndex[j - 1], 1);
                    }
                    if (j % 16 != 0) {
                        ASSERT_GE(pIndex[j], pIndex[j - 1]);
                    }
                    ASSERT_LT(pIndex[j] - pIndex[j / 16 * 16], 16);
                }
            }
            for (int p = 0; p < size * size; ++p) {
                const std::uint16_t e = entryOf(p);
                const bool emptyCell =
                    fold && e != kNoSource && e % kRings < kFoveaRings &&
                    FoveaTable()[FoveaIndex(e / kRings, e % kRings)] == kNoFoveaSector;
                ASSERT_EQ(writes[p], e == kNoSource || emptyCell ? 0 : 1)
                    << "size " << size << " pixel " << p;
            }
        }
    }
}

// Catches the AVX2 form, which an AVX-512 machine never takes on its own, differing from the
// rule: each pixel three bytes of its sample's level (the background's outside the disc and
// in the fovea's empty cells), in either row order, with the frame counted exactly once.
TEST(GreyChunksAvx2, GiveTheLevelsOfThePlainWalk) {
    if (!GreyChunksAvx2Available()) {
        GTEST_SKIP() << "this processor cannot run the form";
    }
    std::vector<std::uint8_t> levels(256);
    for (int v = 0; v < 256; ++v) {
        levels[std::size_t(v)] = static_cast<std::uint8_t>(v * 37 + 11);
    }
    for (const int size : {256, 512}) {
        const std::size_t pixels = std::size_t(size) * size;
        for (const bool fold : {false, true}) {
            const auto frame = TestFrame(fold ? 3 : 0, kFrameBytes);
            auto filled = frame;
            if (fold) {
                CFrameProcessor::FillFovea(filled.data());
            }
            std::vector<std::uint8_t> grey(pixels, kGreyBackground), expected(pixels * 3);
            PlainRemap(size, filled.data(), grey.data(), 1);
            for (std::size_t p = 0; p < pixels; ++p) {
                std::fill_n(expected.begin() + std::ptrdiff_t(3 * p), 3, levels[grey[p]]);
            }
            const RemapChunkList list = RemapChunksFor(std::uint32_t(pixels), fold);
            for (const bool bottomUp : {false, true}) {
                std::vector<std::uint8_t> picture(pixels * 3, 0x5A);
                CSampleTally tally(frame.data(), kFrameBytes);
                RemapGreyToBgrByChunksAvx2(list, frame.data(), levels.data(), picture.data(),
                                           bottomUp, &tally);
                ASSERT_EQ(bottomUp ? RowsReversed(expected.data(), size) : expected, picture)
                    << "size " << size << " fold " << fold << " bottom-up " << bottomUp;
                std::array<std::int32_t, 256> counts{}, exact{};
                tally.AddTo(counts.data());
                for (const std::uint8_t sample : frame) {
                    ++exact[sample];
                }
                ASSERT_EQ(counts, exact);
            }
        }
    }
}

// Catches the AVX2 colour form, which an AVX-512 machine never takes on its own, differing
// from the rule in the layouts written on black: any byte, a border byte left as it was, the
// rows or the channels in the wrong order.
TEST(ColorChunksAvx2, GiveThePlainWalkInEachLayoutOnBlack) {
    if (!ColorChunksAvx2Available()) {
        GTEST_SKIP() << "this processor cannot run the form";
    }
    for (const int size : {256, 512}) {
        const std::size_t bytes = std::size_t(size) * size * 3;
        const RemapChunkList list = RemapColorChunksFor(std::uint32_t(size) * size);
        for (const int kind : {0, 3}) {
            const auto frame = TestFrame(kind, kColorFrameBytes);
            std::vector<std::uint8_t> bgr(bytes, 0);
            PlainRemap(size, frame.data(), bgr.data(), 3);
            auto rgb = bgr;
            for (std::size_t p = 0; p < bytes; p += 3) {
                std::swap(rgb[p], rgb[p + 2]);
            }
            std::vector<std::uint8_t> picture(bytes, 0x5A);
            RemapRgbByChunksAvx2(list, frame.data(), picture.data(),
                                 RgbLayout::kBottomUpBgrOnBlack);
            ASSERT_EQ(picture, RowsReversed(bgr.data(), size)) << "size " << size << " bottom-up";
            std::fill(picture.begin(), picture.end(), 0x5A);
            RemapRgbByChunksAvx2(list, frame.data(), picture.data(), RgbLayout::kTopDownRgbOnBlack);
            ASSERT_EQ(picture, rgb) << "size " << size << " red first";
        }
    }
}

class FoldedMonoView : public ::testing::TestWithParam<int> {
  protected:
    void Configure(CMonoProcessor& processor, CTestCamera& camera) {
        ASSERT_TRUE(camera.IsOpen());
        processor.SetCalibrationPath("");
        processor.Configure(0, 30, 320, 320, 2, GetParam(), GetParam());
        processor.SetCamera(camera.Camera());
    }
};

FrameBytes RandomFrame(unsigned seed) {
    const auto bytes = RandomBytes(kFrameBytes, seed);
    return FrameBytes(bytes.begin(), bytes.end());
}

// Each random frame twice: two processors taking turns on one camera see the same frames.
std::vector<FrameBytes> RandomFramesTwice() {
    std::vector<FrameBytes> frames;
    for (unsigned seed = 1; seed <= 3; ++seed) {
        frames.push_back(RandomFrame(seed));
        frames.push_back(RandomFrame(seed));
    }
    return frames;
}

// Catches the folded view showing anything but what filling first shows, or a view or save
// that reads the frame before its fovea is filled: one processor remaps each frame first
// (the fold), the other shows the unmapped view first (the fill); every picture and both
// saved files must be the same.
TEST_P(FoldedMonoView, ShowsAndSavesWhatFillingFirstShows) {
    const int size = GetParam();
    CTestCamera camera(RandomFramesTwice());
    CMonoProcessor folding;
    CMonoProcessor filling;
    Configure(folding, camera);
    Configure(filling, camera);
    CScratchDirectory directory;
    const std::size_t pictureBytes = std::size_t(size) * size * 3;
    for (int frame = 0; frame < 3; ++frame) {
        ASSERT_EQ(folding.Acquire(), 1);
        ASSERT_EQ(filling.Acquire(), 1);
        std::vector<std::uint8_t> foldRemapped(pictureBytes), fillRemapped(pictureBytes);
        std::vector<std::uint8_t> foldUnmapped(kFrameBytes * 3), fillUnmapped(kFrameBytes * 3);
        filling.RawToRgb(fillUnmapped.data());
        filling.Remap();
        filling.RemappedToRgb(fillRemapped.data());
        folding.Remap();
        folding.RemappedToRgb(foldRemapped.data());
        ASSERT_EQ(foldRemapped, fillRemapped) << "frame " << frame;
        if (frame == 1) {
            // A save of the unmapped frame straight after the folded remap.
            ASSERT_EQ(folding.SaveBitmap(252, 152, directory.File("fold.bmp").c_str()), 1);
            ASSERT_EQ(filling.SaveBitmap(252, 152, directory.File("fill.bmp").c_str()), 1);
            EXPECT_EQ(ReadBytes(directory.File("fold.bmp")), ReadBytes(directory.File("fill.bmp")));
        }
        folding.RawToRgb(foldUnmapped.data());
        ASSERT_EQ(foldUnmapped, fillUnmapped) << "frame " << frame;
        // Remapped again after the fill: the plain remap, the same picture.
        folding.Remap();
        folding.RemappedToRgb(foldRemapped.data());
        ASSERT_EQ(foldRemapped, fillRemapped) << "frame " << frame << " remapped twice";
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, FoldedMonoView, ::testing::Values(256, 512));

class MonoRemappedView : public FoldedMonoView {};

// Catches the remap done in the display conversion's pass differing from the plain rule in
// any byte of the display or the output plane, folded or after the fill, writing outside
// the display buffer wherever it starts within a cache line, or a Remap whose picture is
// lost or taken from a later frame when the next frame comes before it is read; and the
// top-down picture for files and scripts, streamed or not, differing from it turned over.
TEST_P(MonoRemappedView, DisplayAndPlaneShowTheFrameRemapped) {
    const int size = GetParam();
    const std::size_t pixels = std::size_t(size) * size;
    std::vector<FrameBytes> frames;
    for (unsigned seed = 11; seed <= 18; ++seed) {
        frames.push_back(RandomFrame(seed));
    }
    CTestCamera camera(frames);
    CTestCamera referenceCamera(frames);
    CMonoProcessor p;
    CMonoProcessor reference;
    Configure(p, camera);
    Configure(reference, referenceCamera);
    CYuvToRgb converter;
    converter.BuildTables();
    std::vector<std::uint8_t> plane, expected(pixels * 3), buffer(pixels * 3 + 128);
    std::vector<std::uint8_t> unmapped(kFrameBytes * 3);
    // Bit 0: the fovea filled before the remap; bit 1: the next frame before the view.
    for (int c = 0; c < 4; ++c) {
        ASSERT_EQ(reference.Acquire(), 1);
        ASSERT_EQ(p.Acquire(), 1);
        plane.assign(pixels, 128);
        PlainRemap(size, reference.FramePlane(0), plane.data(), 1);
        converter.ConvertGrey(plane.data(), expected.data(), size, size);
        if (c & 1) {
            p.RawToRgb(unmapped.data());
        }
        p.Remap();
        if (c & 2) {
            ASSERT_EQ(p.Acquire(), 1);
            ASSERT_EQ(reference.Acquire(), 1);
        }
        // The display buffer starting at byte 0, 5, 16 or 63 of a cache line.
        constexpr std::size_t kLineOffsets[] = {0, 5, 16, 63};
        const std::size_t lineOffset = std::uintptr_t(buffer.data()) % 64;
        std::uint8_t* pShown = buffer.data() + (kLineOffsets[c] + 64 - lineOffset) % 64;
        for (int view = 0; view < 2; ++view) {  // straight from the frame, then from the plane
            std::fill(buffer.begin(), buffer.end(), 0x5A);
            p.RemappedToRgb(pShown);
            ASSERT_TRUE(std::equal(expected.begin(), expected.end(), pShown))
                << "case " << c << " view " << view;
            EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0x5A) -
                          std::count(expected.begin(), expected.end(), 0x5A),
                      128);
            for (const bool streamed : {false, true}) {
                std::fill(buffer.begin(), buffer.end(), 0x5A);
                if (!p.RemappedToTopDownRgb(pShown, streamed)) {
                    continue;  // no pass of its own here, or none owed: from the plane
                }
                ASSERT_EQ(RowsReversed(expected.data(), size),
                          std::vector<std::uint8_t>(pShown, pShown + pixels * 3))
                    << "case " << c << " streamed " << streamed;
                EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0x5A) -
                              std::count(expected.begin(), expected.end(), 0x5A),
                          128);
            }
            ASSERT_TRUE(std::equal(plane.begin(), plane.end(), p.OutputPlane(0))) << "case " << c;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, MonoRemappedView, ::testing::Values(256, 512));

class ColorRemappedView : public ::testing::TestWithParam<int> {};

std::vector<std::uint8_t> RedFirst(std::vector<std::uint8_t> pixels) {
    for (std::size_t i = 0; i < pixels.size(); i += 3) {
        std::swap(pixels[i], pixels[i + 2]);
    }
    return pixels;
}

// Catches the remapped view written straight into the display buffer, or the top-down
// picture for files, streamed or not, differing from the remapped image (a border left as
// the buffer held it, rows or channels in the wrong order, a band missed or written past
// the picture), and a remapped image that shows a later frame
// than the Remap that asked for it.
TEST_P(ColorRemappedView, DisplayBufferAndImageShowTheFrameRemapped) {
    const int size = GetParam();
    CTestCamera camera({RandomFrame(8), RandomFrame(9)});
    ASSERT_TRUE(camera.IsOpen());
    CColorProcessor p;
    p.SetCalibrationPath("");
    p.Configure(0, 30, 320, 320, 2, size, size);
    p.SetCamera(camera.Camera());
    const std::size_t pictureBytes = std::size_t(size) * size * 3;
    for (int frame = 0; frame < 2; ++frame) {
        ASSERT_EQ(p.Acquire(), 1);
        p.Remap();
        std::vector<std::uint8_t> shown(pictureBytes, 0x5A);
        p.RemappedToRgb(shown.data());
        const std::vector<std::uint8_t> colorFrame(p.ColorFrame(),
                                                   p.ColorFrame() + kColorFrameBytes);
        ASSERT_EQ(p.Acquire(), 1);  // the next frame, not remapped
        std::vector<std::uint8_t> expected(pictureBytes, 0);
        PlainRemap(size, colorFrame.data(), expected.data(), 3);
        ASSERT_EQ(RowsReversed(expected.data(), size), shown) << "frame " << frame;
        std::vector<std::uint8_t> topDown(pictureBytes, 0x5A);
        p.RemappedToTopDownRgb(topDown.data());
        ASSERT_EQ(RedFirst(expected), topDown) << "frame " << frame;
        // Streamed a band at a time, into a destination starting within a cache line.
        std::vector<std::uint8_t> streamed(pictureBytes + 64, 0x5A);
        const std::size_t lineOffset = std::uintptr_t(streamed.data()) % 64;
        std::uint8_t* pStreamed = streamed.data() + (64 + 5 - lineOffset) % 64;
        p.RemappedToTopDownRgb(pStreamed, true);
        ASSERT_EQ(RedFirst(expected),
                  std::vector<std::uint8_t>(pStreamed, pStreamed + pictureBytes))
            << "frame " << frame << " streamed";
        EXPECT_EQ(std::count(streamed.begin(), streamed.end(), 0x5A) -
                      std::count(expected.begin(), expected.end(), 0x5A),
                  64);
        ASSERT_EQ(std::vector<std::uint8_t>(p.RemappedImage(), p.RemappedImage() + pictureBytes),
                  expected)
            << "frame " << frame;
        // Now from the remapped image the Remap's picture was caught up into.
        std::fill(topDown.begin(), topDown.end(), 0x5A);
        p.RemappedToTopDownRgb(topDown.data());
        ASSERT_EQ(RedFirst(expected), topDown) << "frame " << frame << " from the image";
        std::vector<std::uint8_t> unmapped(kColorFrameBytes);
        p.RawToTopDownRgb(unmapped.data());
        ASSERT_EQ(RedFirst({p.ColorFrame(), p.ColorFrame() + kColorFrameBytes}), unmapped);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ColorRemappedView, ::testing::Values(256, 512));

}  // namespace
