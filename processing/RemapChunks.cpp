#include "processing/RemapChunks.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "sensor/FoveaTable.h"
#include "sensor/LogPolarFrame.h"
#include "sensor/RemapTable.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define PANDRY_X86_VECTORS 1
#include <immintrin.h>
#endif

namespace {

// Static storage sized for the worst case (a run per pixel); only the part in use is
// ever touched.
template <int kSize>
struct ChunkStorage {
    static constexpr int kChunks = kSize * kSize / kChunkPixels;
    std::array<RemapChunk, kChunks> chunks;
    alignas(64) std::array<std::uint8_t, std::size_t{kChunks} * kChunkPixels> runIndex;
    std::array<std::uint16_t, std::size_t{kSize} * kSize> runSources;
    std::array<BlankSpan, kChunks> blankSpans;
    int chunkCount = 0;
    int runCount = 0;
    int blankCount = 0;
};

// Adds the chunk at firstPixel to the last span if both lie in one row; spans of whole rows
// are then joined. Either way a span stays one block when its rows are reversed.
template <int kSize>
void AddBlankChunk(ChunkStorage<kSize>& storage, std::uint32_t firstPixel) {
    if (storage.blankCount > 0) {
        BlankSpan& last = storage.blankSpans[std::size_t(storage.blankCount - 1)];
        if (last.firstPixel + last.pixels == firstPixel &&
            last.firstPixel / kSize == firstPixel / kSize) {
            last.pixels += kChunkPixels;
            return;
        }
    }
    storage.blankSpans[std::size_t(storage.blankCount++)] = {firstPixel, kChunkPixels};
}

template <int kSize>
void JoinWholeRows(ChunkStorage<kSize>& storage) {
    const auto wholeRows = [](const BlankSpan& span) {
        return span.firstPixel % kSize == 0 && span.pixels % kSize == 0;
    };
    int joined = 0;
    for (int b = 0; b < storage.blankCount; ++b) {
        const BlankSpan& span = storage.blankSpans[std::size_t(b)];
        if (joined > 0) {
            BlankSpan& last = storage.blankSpans[std::size_t(joined - 1)];
            if (wholeRows(last) && wholeRows(span) &&
                last.firstPixel + last.pixels == span.firstPixel) {
                last.pixels += span.pixels;
                continue;
            }
        }
        storage.blankSpans[std::size_t(joined++)] = span;
    }
    storage.blankCount = joined;
}

constexpr int kNoSample = -1;

// The frame sample a table entry shows, through the fill's table where the fovea is folded.
int SampleOf(std::uint16_t entry, bool foldFovea) {
    if (entry == kNoSource) {
        return kNoSample;
    }
    const int sector = entry / kRings;
    const int ring = entry % kRings;
    if (!foldFovea || ring >= kFoveaRings) {
        return entry;
    }
    const std::int32_t from = FoveaTable()[FoveaIndex(sector, ring)];
    return from == kNoFoveaSector ? kNoSample : static_cast<int>(FrameIndex(from, ring));
}

// Output pixel (x, y) of a size x size picture uses table entry (x * step, y * step).
template <int kSize>
void Build(ChunkStorage<kSize>& storage, bool foldFovea) {
    const std::uint16_t* pTable = RemapTable();
    constexpr int kStep = kRemapTableSize / kSize;
    for (int y = 0; y < kSize; ++y) {
        const std::uint16_t* pRow = pTable + std::size_t(y) * kStep * kRemapTableSize;
        for (int x0 = 0; x0 < kSize; x0 += kChunkPixels) {
            const std::uint32_t firstPixel = std::uint32_t(y) * kSize + std::uint32_t(x0);
            RemapChunk chunk{firstPixel, std::uint32_t(storage.runCount), 0};
            std::uint8_t* pIndex =
                storage.runIndex.data() + std::size_t(storage.chunkCount) * kChunkPixels;
            int runs = 0;
            int previous = kNoSample;
            for (int j = 0; j < kChunkPixels; ++j) {
                const int sample = SampleOf(pRow[(x0 + j) * kStep], foldFovea);
                if (sample != kNoSample) {
                    if (runs == 0 || sample != previous) {
                        storage.runSources[std::size_t(storage.runCount + runs)] =
                            static_cast<std::uint16_t>(sample);
                        ++runs;
                    }
                    previous = sample;
                    chunk.written |= std::uint64_t{1} << j;
                }
                pIndex[j] = static_cast<std::uint8_t>(runs > 0 ? runs - 1 : 0);
            }
            if (chunk.written != 0) {
                storage.chunks[std::size_t(storage.chunkCount++)] = chunk;
                storage.runCount += runs;
            } else {
                AddBlankChunk(storage, firstPixel);
            }
        }
    }
}

template <int kSize, bool kFold>
RemapChunkList ListOf() {
    static ChunkStorage<kSize> storage;
    static const bool built = (Build(storage, kFold), JoinWholeRows(storage), true);
    (void)built;
    return {storage.chunks.data(),     storage.runIndex.data(), storage.chunkCount,
            storage.runSources.data(), storage.runCount,        kSize,
            storage.blankSpans.data(), storage.blankCount};
}

#ifdef PANDRY_X86_VECTORS

#define PANDRY_CHUNK_VECTORS __attribute__((target("avx512f,avx512bw,avx512vbmi,bmi2")))

// The zero-masking permutes: GCC 12 warns about the plain ones' undefined source.
constexpr __mmask64 kAllBytes = ~__mmask64{0};
constexpr __mmask16 kAllWords = 0xFFFF;

// A batch of chunks (512 pixels) has its run values gathered into a scratch row that
// stays in the first-level cache, then spread; room past the last run for the widest load.
constexpr int kBatchChunks = 8;
constexpr int kScratchValues = (kBatchChunks + 1) * kChunkPixels;

// The runs of chunks [first, end) of the list.
struct RunSpan {
    std::uint32_t first;
    std::uint32_t end;
};
RunSpan RunsOfBatch(const RemapChunkList& list, int firstChunk, int endChunk) {
    return {list.pChunks[firstChunk].firstRun, endChunk < list.chunkCount
                                                   ? list.pChunks[endChunk].firstRun
                                                   : std::uint32_t(list.runCount)};
}

// Eight run values to a store: the loads are cheap, the stores are what limits the loop.
inline void GatherGreyRuns(const std::uint16_t* pFrom, std::uint32_t count,
                           const std::uint8_t* pSource, std::uint8_t* pValues) {
    std::uint32_t k = 0;
    for (; k + 8 <= count; k += 8) {
        std::uint64_t eight = 0;
        for (int j = 7; j >= 0; --j) {
            eight = eight << 8 | pSource[pFrom[k + std::uint32_t(j)]];
        }
        std::memcpy(pValues + k, &eight, sizeof eight);
    }
    for (; k < count; ++k) {
        pValues[k] = pSource[pFrom[k]];
    }
}

PANDRY_CHUNK_VECTORS void RemapGreyBatches(const RemapChunkList& list, const std::uint8_t* pSource,
                                           std::uint8_t* pDestination) {
    alignas(64) std::uint8_t values[kScratchValues] = {};
    for (int c0 = 0; c0 < list.chunkCount; c0 += kBatchChunks) {
        const int c1 = std::min(c0 + kBatchChunks, list.chunkCount);
        const RunSpan span = RunsOfBatch(list, c0, c1);
        GatherGreyRuns(list.pRunSources + span.first, span.end - span.first, pSource, values);
        for (int c = c0; c < c1; ++c) {
            const RemapChunk& chunk = list.pChunks[c];
            const __m512i index = _mm512_load_si512(list.pRunIndex + std::size_t(c) * kChunkPixels);
            const __m512i runs = _mm512_loadu_si512(values + (chunk.firstRun - span.first));
            _mm512_mask_storeu_epi8(pDestination + chunk.firstPixel, chunk.written,
                                    _mm512_maskz_permutexvar_epi8(kAllBytes, index, runs));
        }
    }
}

// The low three bytes of each of 16 words, packed into 48 bytes.
struct PackIndices {
    std::uint8_t byte[64];
};
constexpr PackIndices MakePackIndices() {
    PackIndices p{};
    for (int j = 0; j < 48; ++j) {
        p.byte[j] = static_cast<std::uint8_t>(j / 3 * 4 + j % 3);
    }
    return p;
}
constexpr PackIndices kPack = MakePackIndices();

// Each run's pixel as a word; 16 pixels are spread at a time, their runs lying within 16
// words from the first pixel's run.
PANDRY_CHUNK_VECTORS void RemapColorBatches(const RemapChunkList& list,
                                            const std::uint8_t* pColorFrame,
                                            std::uint8_t* pDestination, RowOrder order) {
    const std::uint32_t size = std::uint32_t(list.size);
    constexpr __mmask64 kQuarterBytes = (__mmask64{1} << 48) - 1;
    constexpr int kQuarter = kChunkPixels / 4;
    // Bit 3k of a byte mask for each pixel k; times 7 it covers the pixel's three bytes.
    constexpr std::uint64_t kPixelBytes = 0x249249249249ULL;
    const __m512i pack = _mm512_loadu_si512(kPack.byte);
    alignas(64) std::uint32_t values[kScratchValues] = {};
    for (int c0 = 0; c0 < list.chunkCount; c0 += kBatchChunks) {
        const int c1 = std::min(c0 + kBatchChunks, list.chunkCount);
        const RunSpan span = RunsOfBatch(list, c0, c1);
        for (std::uint32_t k = span.first; k < span.end; ++k) {
            // Two loads: a four-byte read would pass the end of the frame's last pixel.
            const std::uint8_t* pPixel = pColorFrame + std::size_t(list.pRunSources[k]) * 3;
            std::uint16_t low;
            std::memcpy(&low, pPixel, sizeof low);
            values[k - span.first] = low | std::uint32_t(pPixel[2]) << 16;
        }
        for (int c = c0; c < c1; ++c) {
            const RemapChunk& chunk = list.pChunks[c];
            const std::uint8_t* pIndex = list.pRunIndex + std::size_t(c) * kChunkPixels;
            const std::uint32_t* pRuns = values + (chunk.firstRun - span.first);
            std::uint32_t pixel = chunk.firstPixel;
            if (order == RowOrder::kBottomUp) {
                pixel = (size - 1 - pixel / size) * size + pixel % size;
            }
            std::uint8_t* pOut = pDestination + std::size_t(pixel) * 3;
            for (int q = 0; q < 4; ++q, pIndex += kQuarter, pOut += kQuarter * 3) {
                const int first = pIndex[0];
                const __m512i words = _mm512_sub_epi32(
                    _mm512_maskz_cvtepu8_epi32(
                        kAllWords, _mm_loadu_si128(reinterpret_cast<const __m128i*>(pIndex))),
                    _mm512_set1_epi32(first));
                const __m512i pixels = _mm512_maskz_permutexvar_epi32(
                    kAllWords, words, _mm512_loadu_si512(pRuns + first));
                const std::uint64_t written =
                    _pdep_u64((chunk.written >> (q * kQuarter)) & 0xFFFF, kPixelBytes) * 7;
                if (order == RowOrder::kTopDown) {
                    _mm512_mask_storeu_epi8(pOut, written,
                                            _mm512_maskz_permutexvar_epi8(kAllBytes, pack, pixels));
                } else {
                    // A display buffer holds anything: the border is written black.
                    _mm512_mask_storeu_epi8(pOut, kQuarterBytes,
                                            _mm512_maskz_permutexvar_epi8(written, pack, pixels));
                }
            }
        }
    }
}

#endif

}  // namespace

RemapChunkList RemapChunksFor(std::uint32_t pixelCount, bool foldFovea) {
    if (pixelCount == kZoomedPixelCount) {
        return foldFovea ? ListOf<kZoomedSize, true>() : ListOf<kZoomedSize, false>();
    }
    if (pixelCount == kNormalPixelCount) {
        return foldFovea ? ListOf<kNormalSize, true>() : ListOf<kNormalSize, false>();
    }
    return {};
}

#ifdef PANDRY_X86_VECTORS

bool RemapByChunksAvailable() {
    static const bool available =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("bmi2");
    return available;
}

void RemapGreyByChunks(const RemapChunkList& list, const std::uint8_t* pSource,
                       std::uint8_t* pDestination) {
    if (RemapByChunksAvailable()) {
        RemapGreyBatches(list, pSource, pDestination);
    }
}

void RemapRgbByChunks(const RemapChunkList& list, const std::uint8_t* pColorFrame,
                      std::uint8_t* pDestination, RowOrder order) {
    if (!RemapByChunksAvailable()) {
        return;
    }
    RemapColorBatches(list, pColorFrame, pDestination, order);
    if (order == RowOrder::kBottomUp) {
        const std::uint32_t size = std::uint32_t(list.size);
        for (int b = 0; b < list.blankCount; ++b) {
            const BlankSpan& span = list.pBlankSpans[b];
            const std::uint32_t lastRow = (span.firstPixel + span.pixels - 1) / size;
            const std::uint32_t flipped = (size - 1 - lastRow) * size + span.firstPixel % size;
            std::memset(pDestination + std::size_t(flipped) * 3, 0, std::size_t(span.pixels) * 3);
        }
    }
}

#else

bool RemapByChunksAvailable() {
    return false;
}

void RemapGreyByChunks(const RemapChunkList&, const std::uint8_t*, std::uint8_t*) {}

void RemapRgbByChunks(const RemapChunkList&, const std::uint8_t*, std::uint8_t*, RowOrder) {}

#endif
