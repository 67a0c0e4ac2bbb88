#include "processing/RemapChunks.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "sensor/FoveaTable.h"
#include "sensor/LogPolarFrame.h"
#include "sensor/RemapTable.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define PANDRY_X86_VECTORS 1
#include <immintrin.h>

#include "processing/ChunkBatches.h"
#include "processing/ColorChunksAvx2.h"
#include "processing/GreyChunksAvx2.h"
#include "processing/StreamCopy.h"
#include "processing/VbmiLookup.h"
#include "processing/VectorLookup.h"
#endif

namespace {

static_assert(std::has_single_bit(unsigned{kNormalSize}) &&
                  std::has_single_bit(unsigned{kZoomedSize}),
              "the kernels take a pixel's row and column by shift and mask");

// Run values the grey remap gathers at a time.
constexpr int kRunGroup = 16;

// Static storage sized for the worst case (a run per pixel); only the part in use is
// ever touched.
template <int kSize>
struct ChunkStorage {
    static constexpr int kChunks = kSize * kSize / kChunkPixels;
    std::array<RemapChunk, kChunks> chunks;
    alignas(64) std::array<std::uint8_t, std::size_t{kChunks} * kChunkPixels> runIndex;
    // Room past the last run for a whole group of the grey gather.
    std::array<std::uint16_t, std::size_t{kSize} * kSize + kRunGroup> runSources;
    std::array<BlankSpan, kChunks> blankSpans;
    std::array<ColorChunkStores, kChunks> stores;
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

enum class ChunkKind { kGrey, kFoldedGrey, kColor };

// Store t holds bytes 64t..64t+63 of the chunk's 192, pixel (64t + b) / 3 at byte b.
ColorChunkStores StoresOf(const RemapChunk& chunk, const std::uint8_t* pIndex) {
    ColorChunkStores stores{};
    for (int t = 0; t < 3; ++t) {
        for (int b = 0; b < kChunkPixels; ++b) {
            const int pixel = (kChunkPixels * t + b) / 3;
            stores.gathered[t] |= ((chunk.written >> pixel) & 1) << b;
            stores.copied[t] |= ((chunk.copied >> pixel) & 1) << b;
        }
        stores.firstRun[t] = pIndex[kChunkPixels * t / 3];
    }
    stores.runs = static_cast<std::uint8_t>(pIndex[kChunkPixels - 1] + 1);
    return stores;
}

// The colour list's run numbers carry how each pixel is made, for the AVX2 kernel's
// shuffles and blends; byte permutes read only the low six bits.
void MarkHowPixelsAreMade(const RemapChunk& chunk, std::uint8_t* pIndex) {
    for (int j = 0; j < kChunkPixels; ++j) {
        if ((chunk.copied >> j) & 1) {
            pIndex[j] |= kCopiedPixel;
        } else if (!((chunk.written >> j) & 1)) {
            pIndex[j] |= kNotGatheredPixel;
        }
    }
}

// Output pixel (x, y) of a size x size picture uses table entry (x * step, y * step).
template <int kSize>
void Build(ChunkStorage<kSize>& storage, ChunkKind kind) {
    const std::uint16_t* pTable = RemapTable();
    constexpr int kStep = kRemapTableSize / kSize;
    const bool foldFovea = kind == ChunkKind::kFoldedGrey;
    for (int y = 0; y < kSize; ++y) {
        const std::uint16_t* pRow = pTable + std::size_t(y) * kStep * kRemapTableSize;
        const std::uint16_t* pAbove = y > 0 ? pRow - std::size_t(kStep) * kRemapTableSize : nullptr;
        for (int x0 = 0; x0 < kSize; x0 += kChunkPixels) {
            const std::uint32_t firstPixel = std::uint32_t(y) * kSize + std::uint32_t(x0);
            RemapChunk chunk{firstPixel, std::uint32_t(storage.runCount), 0, 0};
            std::uint8_t* pIndex =
                storage.runIndex.data() + std::size_t(storage.chunkCount) * kChunkPixels;
            int runs = 0;
            int previous = kNoSample;
            for (int j = 0; j < kChunkPixels; ++j) {
                const std::uint16_t entry = pRow[(x0 + j) * kStep];
                const int sample = SampleOf(entry, foldFovea);
                if (sample != kNoSample && pAbove != nullptr && pAbove[(x0 + j) * kStep] == entry) {
                    chunk.copied |= std::uint64_t{1} << j;
                } else if (sample != kNoSample) {
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
            if ((chunk.written | chunk.copied) != 0) {
                if (kind == ChunkKind::kColor) {
                    storage.stores[std::size_t(storage.chunkCount)] = StoresOf(chunk, pIndex);
                    MarkHowPixelsAreMade(chunk, pIndex);
                }
                storage.chunks[std::size_t(storage.chunkCount++)] = chunk;
                storage.runCount += runs;
            } else {
                AddBlankChunk(storage, firstPixel);
            }
        }
    }
}

template <int kSize, ChunkKind kKind>
RemapChunkList ListOf() {
    static ChunkStorage<kSize> storage;
    static const bool built = (Build(storage, kKind), JoinWholeRows(storage), true);
    (void)built;
    return {storage.chunks.data(),
            storage.runIndex.data(),
            storage.chunkCount,
            storage.runSources.data(),
            storage.runCount,
            kSize,
            storage.blankSpans.data(),
            storage.blankCount,
            kKind == ChunkKind::kColor ? storage.stores.data() : nullptr};
}

#ifdef PANDRY_X86_VECTORS

#define PANDRY_CHUNK_VECTORS __attribute__((target("avx512f,avx512bw,avx512vbmi,bmi2")))

// The zero-masking permutes: GCC 12 warns about the plain ones' undefined source.
constexpr __mmask64 kAllBytes = ~__mmask64{0};

// Sixteen run values to a store, by one gather of the four bytes at each run's sample; a
// run showing one of the frame's last three samples, whose four bytes would pass its end,
// is read alone. The last group reads past the batch's runs into the room the list keeps.
// A tally given counts its share beside each gather.
template <bool kTally>
PANDRY_CHUNK_VECTORS inline void GatherGreyRunsByVector(const std::uint16_t* pFrom,
                                                        std::uint32_t count,
                                                        const std::uint8_t* pSource,
                                                        std::uint8_t* pValues, CSampleTally* pTally,
                                                        int quadsPerEight) {
    const __m512i lastWhole = _mm512_set1_epi32(int(kFrameBytes) - 4);
    CSampleTally::Cursor cursor{};
    if (kTally) {
        cursor = pTally->Position();
    }
    for (std::uint32_t k = 0; k < count; k += kRunGroup) {
        const __m512i index = _mm512_maskz_cvtepu16_epi32(
            0xFFFF, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pFrom + k)));
        const __mmask16 whole = _mm512_cmple_epu32_mask(index, lastWhole);
        const __m512i words =
            _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), whole, index, pSource, 1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pValues + k),
                         _mm512_maskz_cvtepi32_epi8(0xFFFF, words));
        for (std::uint32_t rest = 0xFFFFu & ~std::uint32_t{whole}; rest != 0; rest &= rest - 1) {
            const std::uint32_t j = k + std::uint32_t(__builtin_ctz(rest));
            pValues[j] = pSource[pFrom[j]];
        }
        if (kTally) {
            cursor.CountQuads(2 * quadsPerEight);
        }
    }
    if (kTally) {
        pTally->Resume(cursor);
    }
}

template <bool kTally>
PANDRY_CHUNK_VECTORS inline void GatherGreyRuns(const std::uint16_t* pFrom, std::uint32_t count,
                                                const std::uint8_t* pSource, std::uint8_t* pValues,
                                                CSampleTally* pTally, int quadsPerEight) {
    if (GathersAreSlow()) {
        GatherGreyRunsByLoads<kTally>(
            pFrom, count, [pSource](std::uint16_t sample) { return pSource[sample]; }, pValues,
            pTally, quadsPerEight);
    } else {
        GatherGreyRunsByVector<kTally>(pFrom, count, pSource, pValues, pTally, quadsPerEight);
    }
}

// Each chunk's 64 pixels into the grey picture, those without a sample left as they were.
struct GreyStore {
    std::uint8_t* pGrey;
    void TakeRuns(std::uint8_t*, std::uint32_t) const {}
    PANDRY_CHUNK_VECTORS void operator()(std::uint32_t firstPixel, __mmask64 shown,
                                         __m512i grey) const {
        _mm512_mask_storeu_epi8(pGrey + firstPixel, shown, grey);
    }
};

// The store is handed each batch's run values once gathered (TakeRuns, which may change
// them), then each chunk's 64 values with the mask of the pixels it shows. The pixels
// copied from the row above are read from a row of the chunks' own values, written whole
// and aligned, so that the read never waits on a partial store. A tally given counts its
// samples beside the gathers, spread over them, the rest once they are done.
template <bool kTally, typename Store>
PANDRY_CHUNK_VECTORS void RemapGreyBatches(const RemapChunkList& list, const std::uint8_t* pSource,
                                           Store&& store, CSampleTally* pTally = nullptr) {
    alignas(64) std::uint8_t values[kScratchValues] = {};
    alignas(64) std::uint8_t rowAbove[kZoomedSize];  // the larger side
    // A power of two: a chunk's column is a mask, not a division on every chunk's path.
    const std::uint32_t size = std::uint32_t(list.size);
    const int quadsPerEight = QuadsPerEightRuns(list, pTally);
    for (int c0 = 0; c0 < list.chunkCount; c0 += kBatchChunks) {
        const int c1 = std::min(c0 + kBatchChunks, list.chunkCount);
        const RunSpan span = RunsOfBatch(list, c0, c1);
        GatherGreyRuns<kTally>(list.pRunSources + span.first, span.end - span.first, pSource,
                               values, pTally, quadsPerEight);
        store.TakeRuns(values, span.end - span.first);
        for (int c = c0; c < c1; ++c) {
            const RemapChunk& chunk = list.pChunks[c];
            const __m512i index = _mm512_load_si512(list.pRunIndex + std::size_t(c) * kChunkPixels);
            const __m512i runs = _mm512_loadu_si512(values + (chunk.firstRun - span.first));
            __m512i grey = _mm512_maskz_permutexvar_epi8(kAllBytes, index, runs);
            std::uint8_t* pAbove = rowAbove + (chunk.firstPixel & (size - 1));
            if (chunk.copied != 0) {
                grey = _mm512_mask_blend_epi8(chunk.copied, grey, _mm512_load_si512(pAbove));
            }
            _mm512_store_si512(pAbove, grey);
            store(chunk.firstPixel, chunk.written | chunk.copied, grey);
        }
    }
    if (kTally) {
        pTally->CountRest();
    }
}

// For store t, byte b: the pixel it belongs to, and which of the pixel's three bytes it is
// (first and third swapped where red goes first); and three times each index below 64.
struct ByteTables {
    std::uint8_t pixel[3][64];
    std::uint8_t channel[3][64];
    std::uint8_t swappedChannel[3][64];
    std::uint8_t timesThree[64];
    // Sixteen gathered four-byte words to their three low bytes each, packed.
    std::uint8_t packWords[64];
};
constexpr ByteTables MakeByteTables() {
    ByteTables tables{};
    for (int t = 0; t < 3; ++t) {
        for (int b = 0; b < 64; ++b) {
            tables.pixel[t][b] = static_cast<std::uint8_t>((64 * t + b) / 3);
            tables.channel[t][b] = static_cast<std::uint8_t>((64 * t + b) % 3);
            tables.swappedChannel[t][b] = static_cast<std::uint8_t>(2 - (64 * t + b) % 3);
        }
    }
    for (int i = 0; i < 64; ++i) {
        tables.timesThree[i] = static_cast<std::uint8_t>(3 * i);
        tables.packWords[i] = static_cast<std::uint8_t>(i < 48 ? i / 3 * 4 + i % 3 : 0);
    }
    return tables;
}
constexpr ByteTables kByteTables = MakeByteTables();

// The run values of runs [first, end), three bytes each, into pValues, sixteen runs to a
// four-byte gather. Each lane reads its pixel and the next pixel's first byte, which the
// packing drops; the frame's last pixel has no byte after it, so its lanes are merged in
// from a copy read once. Writes up to 64 bytes past the last run's value.
PANDRY_CHUNK_VECTORS void GatherColorRunsByVector(const std::uint16_t* pSources,
                                                  std::uint32_t first, std::uint32_t end,
                                                  const std::uint8_t* pColorFrame,
                                                  __m512i lastPixel, std::uint8_t* pValues) {
    constexpr int kLastOffset = int(kColorFrameBytes) - 3;
    const __m512i packWords = _mm512_loadu_si512(kByteTables.packWords);
    const __m512i lastOffset = _mm512_set1_epi32(kLastOffset);
    for (std::uint32_t k = first; k < end; k += 16, pValues += 48) {
        const std::uint32_t count = std::min(end - k, std::uint32_t{16});
        const __mmask16 lanes = static_cast<__mmask16>(_bzhi_u32(0xFFFF, count));
        const __m512i samples = _mm512_maskz_cvtepu16_epi32(
            lanes,
            _mm512_maskz_extracti64x4_epi64(0xF, _mm512_maskz_loadu_epi16(lanes, pSources + k), 0));
        const __m512i offsets =
            _mm512_add_epi32(samples, _mm512_maskz_slli_epi32(lanes, samples, 1));
        const __mmask16 inside = _mm512_mask_cmpneq_epi32_mask(lanes, offsets, lastOffset);
        __m512i words = _mm512_mask_i32gather_epi32(lastPixel, inside, offsets, pColorFrame, 1);
        _mm512_storeu_si512(pValues, _mm512_maskz_permutexvar_epi8(kAllBytes, packWords, words));
    }
}

// The same by plain loads where gathers are slow, unrolled by four: each run's four bytes
// copied, the next run's copy writing over the fourth. The frame's last pixel has no byte
// after it, so a run of it reads the word before and takes the pixel's bytes read once.
template <bool kRedFirst>
void GatherColorRunsAsWords(const std::uint16_t* pSources, std::uint32_t first, std::uint32_t end,
                            const std::uint8_t* pColorFrame, std::uint8_t* pValues) {
    static constexpr std::uint32_t kLastWord = kColorFrameBytes - 4;
    const std::uint8_t* pLast = pColorFrame + kColorFrameBytes - 3;
    const std::uint32_t lastPixel =
        pLast[0] | std::uint32_t{pLast[1]} << 8 | std::uint32_t{pLast[2]} << 16;
    const auto copy = [pSources, pColorFrame, lastPixel](std::uint32_t run, std::uint8_t* pTo) {
        const std::uint32_t offset = std::uint32_t{pSources[run]} * 3;
        std::uint32_t word;
        std::memcpy(&word, pColorFrame + std::min(offset, kLastWord), 4);
        word = offset > kLastWord ? lastPixel : word;
        if (kRedFirst) {
            word = __builtin_bswap32(word) >> 8;  // the fourth byte is the next run's anyway
        }
        std::memcpy(pTo, &word, 4);
    };
    std::uint32_t k = first;
    for (; k + 4 <= end; k += 4, pValues += 12) {
        copy(k, pValues);
        copy(k + 1, pValues + 3);
        copy(k + 2, pValues + 6);
        copy(k + 3, pValues + 9);
    }
    for (; k < end; ++k, pValues += 3) {
        copy(k, pValues);
    }
}

PANDRY_CHUNK_VECTORS void GatherColorRuns(const std::uint16_t* pSources, std::uint32_t first,
                                          std::uint32_t end, const std::uint8_t* pColorFrame,
                                          __m512i lastPixel, std::uint8_t* pValues) {
    if (GathersAreSlow()) {
        GatherColorRunsByLoads(pSources, first, end, pColorFrame, pValues, false);
    } else {
        GatherColorRunsByVector(pSources, first, end, pColorFrame, lastPixel, pValues);
    }
}

// Store t of a chunk, its gathered bytes given, the bytes copied from the row above read
// where they are (the masked read never touches the row above the first).
template <bool kOnBlack>
PANDRY_CHUNK_VECTORS inline void StoreColorBytes(__m512i gathered, const ColorChunkStores& stores,
                                                 int t, std::uint8_t* pOut, std::ptrdiff_t above) {
    const __m512i bytes = _mm512_mask_loadu_epi8(gathered, stores.copied[t], pOut + above);
    // A buffer on black holds anything before: the border is written black.
    if (kOnBlack) {
        _mm512_storeu_si512(pOut, bytes);
    } else {
        _mm512_mask_storeu_epi8(pOut, stores.gathered[t] | stores.copied[t], bytes);
    }
}

// Spans [first, end) of the chunks without a pixel, black; most spans are a chunk or two,
// too short for memset's set-up to pay.
PANDRY_CHUNK_VECTORS void WriteBlankSpans(const RemapChunkList& list, int first, int end,
                                          bool bottomUp, std::uint8_t* pDestination) {
    const std::uint32_t size = std::uint32_t(list.size);
    for (int b = first; b < end; ++b) {
        const BlankSpan& span = list.pBlankSpans[b];
        std::uint32_t firstPixel = span.firstPixel;
        if (bottomUp) {
            const std::uint32_t lastRow = (span.firstPixel + span.pixels - 1) / size;
            firstPixel = (size - 1 - lastRow) * size + span.firstPixel % size;
        }
        std::uint8_t* pOut = pDestination + std::size_t(firstPixel) * 3;
        for (std::uint32_t k = 0; k < span.pixels * 3; k += 64) {
            _mm512_storeu_si512(pOut + k, _mm512_setzero_si512());
        }
    }
}

// A picture made in order in a scratch the caches hold, copied past them into its place a
// line at a time as its bytes are made: memory takes the lines while the rest is made,
// where a copy of the whole picture afterwards leaves the processor waiting on memory.
class CPictureStream {
  public:
    CPictureStream(std::uint8_t* pTo, const std::uint8_t* pFrom, std::size_t bytes)
        : m_pTo(pTo),
          m_pFrom(pFrom),
          m_bytes(bytes),
          m_head(std::min(bytes, (64 - reinterpret_cast<std::uintptr_t>(pTo) % 64) % 64)),
          m_next(m_head) {}

    // Streams the destination's whole lines that lie within the first `made` bytes.
    PANDRY_CHUNK_VECTORS void CopyMade(std::size_t made) {
        for (; m_next + 64 <= made; m_next += 64) {
            _mm512_stream_si512(reinterpret_cast<__m512i*>(m_pTo + m_next),
                                _mm512_loadu_si512(m_pFrom + m_next));
        }
    }
    // The bytes before the first whole line and from the last streamed on, then the fence
    // that makes every streamed line visible to whoever reads the destination next.
    void Finish() const {
        std::memcpy(m_pTo, m_pFrom, m_head);
        StreamCopy(m_pTo + m_next, m_pFrom + m_next, m_bytes - m_next);
    }

  private:
    std::uint8_t* m_pTo;
    const std::uint8_t* m_pFrom;
    std::size_t m_bytes;
    std::size_t m_head;  // the bytes before the destination's first whole line
    std::size_t m_next;  // the first byte not yet streamed
};

// The run values packed three bytes each into a scratch row, then each 64 bytes of the
// picture made by one two-table byte permute from 128 scratch bytes (a store's 22 pixels lie
// within 22 runs: 66 bytes), the bytes copied from the row above blended over it. Almost every
// chunk reads one window from its first run for all three stores; the others read one from
// each store's first run. Streamed, each line of the picture is copied past the caches once
// made.
template <RgbLayout kLayout, bool kStreamed = false>
PANDRY_CHUNK_VECTORS void RemapColorBatches(const RemapChunkList& list,
                                            const std::uint8_t* pColorFrame,
                                            std::uint8_t* pDestination,
                                            CPictureStream* pStream = nullptr) {
    constexpr bool kBottomUp = kLayout == RgbLayout::kBottomUpBgrOnBlack;
    constexpr bool kOnBlack = kLayout != RgbLayout::kTopDownBgr;
    const std::uint32_t size = std::uint32_t(list.size);
    const int rowShift = std::countr_zero(size);
    // From a picture byte to the same byte of the pixel above it.
    const std::ptrdiff_t above = (kBottomUp ? 3 : -3) * std::ptrdiff_t(size);
    const __m512i timesThree = _mm512_loadu_si512(kByteTables.timesThree);
    __m512i pixelOf[3];
    __m512i channelOf[3];
    for (int t = 0; t < 3; ++t) {
        pixelOf[t] = _mm512_loadu_si512(kByteTables.pixel[t]);
        channelOf[t] = _mm512_loadu_si512(kLayout == RgbLayout::kTopDownRgbOnBlack
                                              ? kByteTables.swappedChannel[t]
                                              : kByteTables.channel[t]);
    }
    const std::uint8_t* pLast = pColorFrame + kColorFrameBytes - 3;
    const __m512i lastPixel = _mm512_set1_epi32(
        int(pLast[0] | std::uint32_t(pLast[1]) << 8 | std::uint32_t(pLast[2]) << 16));
    // Room past the last run for the widest read (one more chunk's worth) and write.
    alignas(64) std::uint8_t values[(kBatchChunks + 1) * kChunkPixels * 3 + 64] = {};
    // On black, the blank spans before a batch's chunks go with it: its rows' stores stay
    // together.
    int blank = 0;
    for (int c0 = 0; c0 < list.chunkCount; c0 += kBatchChunks) {
        const int c1 = std::min(c0 + kBatchChunks, list.chunkCount);
        const RunSpan span = RunsOfBatch(list, c0, c1);
        if (kOnBlack) {
            const int first = blank;
            while (blank < list.blankCount &&
                   list.pBlankSpans[blank].firstPixel < list.pChunks[c1 - 1].firstPixel) {
                ++blank;
            }
            WriteBlankSpans(list, first, blank, kBottomUp, pDestination);
        }
        GatherColorRuns(list.pRunSources, span.first, span.end, pColorFrame, lastPixel, values);
        for (int c = c0; c < c1; ++c) {
            const RemapChunk& chunk = list.pChunks[c];
            const ColorChunkStores& stores = list.pStores[c];
            if (kStreamed) {  // every pixel before the chunk is made, its blank spans too
                pStream->CopyMade(std::size_t(chunk.firstPixel) * 3);
            }
            const __m512i runs3 = _mm512_maskz_permutexvar_epi8(
                kAllBytes, _mm512_load_si512(list.pRunIndex + std::size_t(c) * kChunkPixels),
                timesThree);
            const std::uint8_t* pRuns = values + std::size_t(chunk.firstRun - span.first) * 3;
            std::uint32_t pixel = chunk.firstPixel;
            if (kBottomUp) {
                pixel = ((size - 1 - (pixel >> rowShift)) << rowShift) + (pixel & (size - 1));
            }
            std::uint8_t* pOut = pDestination + std::size_t(pixel) * 3;
            if (stores.runs <= kOneTableRuns) {
                const __m512i table = _mm512_loadu_si512(pRuns);
                for (int t = 0; t < 3; ++t, pOut += 64) {
                    const __m512i index = _mm512_add_epi8(
                        _mm512_maskz_permutexvar_epi8(kAllBytes, pixelOf[t], runs3), channelOf[t]);
                    StoreColorBytes<kOnBlack>(
                        _mm512_maskz_permutexvar_epi8(stores.gathered[t], index, table), stores, t,
                        pOut, above);
                }
                continue;
            }
            __m512i low = _mm512_loadu_si512(pRuns);
            __m512i high = _mm512_loadu_si512(pRuns + 64);
            for (int t = 0; t < 3; ++t, pOut += 64) {
                __m512i index = _mm512_maskz_permutexvar_epi8(kAllBytes, pixelOf[t], runs3);
                if (stores.runs > kOneWindowRuns) {
                    const int first = stores.firstRun[t] * 3;
                    index = _mm512_sub_epi8(index, _mm512_set1_epi8(static_cast<char>(first)));
                    low = _mm512_loadu_si512(pRuns + first);
                    high = _mm512_loadu_si512(pRuns + first + 64);
                }
                StoreColorBytes<kOnBlack>(
                    _mm512_maskz_permutex2var_epi8(stores.gathered[t], low,
                                                   _mm512_add_epi8(index, channelOf[t]), high),
                    stores, t, pOut, above);
            }
        }
    }
    if (kOnBlack) {
        WriteBlankSpans(list, blank, list.blankCount, kBottomUp, pDestination);
    }
    if (kStreamed) {
        pStream->Finish();
    }
}

// The grey picture as the display shows it (rows bottom-up) or as files and scripts take
// it (top-down), three bytes of each pixel's level, the levels taken once per run; pixels
// without a sample show the grey planes' background. A chunk's 192 bytes are stored as the
// three cache lines from the one its first byte falls in: a store across two lines costs
// nearly two. The first line also takes the end of the chunk before it where that one lies
// just before in memory (rows are a whole number of lines); otherwise those bytes are left
// out, and the end of a run of chunks adjoining in memory is stored on its own. Streamed,
// every line goes past the caches whole (the rows above are read from the kernel's own
// row, never from the picture): a chunk's part lines beside a blank span are completed with
// its background, and the spans are filled a line at a time, so no line is read in from
// memory to take part of its bytes.
template <GreyLayout kLayout>
struct BgrStore {
    static constexpr bool kStreamed = kLayout == GreyLayout::kTopDownStreamed;
    std::uint8_t* pBgr;
    std::uint32_t size;  // a power of two: rows and columns by shift and mask
    VbmiTable levels;
    __m512i background;
    std::size_t misalignment;  // of the picture's first byte within its line
    // For each byte of the three lines: the pixel it shows, counted in the chunk before
    // (0..63) or in this one (64..127); and for the line after them, in this chunk.
    __m512i pixelOf[3];
    __m512i endPixelOf;
    __mmask64 ownFirstBytes;  // the bytes of the first line that are this chunk's
    __mmask64 endBytes;       // and those of the line after
    __m512i previous = _mm512_setzero_si512();
    std::uint8_t* pPreviousEnd = nullptr;  // the line after the chunk before

    PANDRY_CHUNK_VECTORS void TakeRuns(std::uint8_t* pValues, std::uint32_t count) const {
        for (std::uint32_t k = 0; k < count; k += kChunkPixels) {
            _mm512_store_si512(pValues + k, LookUp64(levels, _mm512_load_si512(pValues + k)));
        }
    }

    PANDRY_CHUNK_VECTORS void operator()(std::uint32_t firstPixel, __mmask64 shown, __m512i level) {
        const __m512i picture = _mm512_mask_blend_epi8(shown, background, level);
        std::size_t pixel = firstPixel;  // top-down, the picture's own order
        if (kLayout == GreyLayout::kBottomUp) {
            const int rowShift = std::countr_zero(size);
            pixel = (std::size_t(size - 1 - (firstPixel >> rowShift)) << rowShift) +
                    (firstPixel & (size - 1));
        }
        std::uint8_t* pLine = pBgr + pixel * 3 - misalignment;
        const bool adjoining = pLine == pPreviousEnd;
        if (!adjoining) {
            FinishPrevious();
        }
        const __m512i first = _mm512_permutex2var_epi8(previous, pixelOf[0], picture);
        // Top-down, what lies before a chunk not adjoining the one before is a blank span,
        // unless the chunk starts the picture.
        if (kStreamed && (adjoining || firstPixel != 0 || misalignment == 0)) {
            _mm512_stream_si512(
                reinterpret_cast<__m512i*>(pLine),
                adjoining ? first : _mm512_mask_blend_epi8(ownFirstBytes, background, first));
        } else {
            _mm512_mask_storeu_epi8(pLine, adjoining ? kAllBytes : ownFirstBytes, first);
        }
        for (int k = 1; k < 3; ++k) {
            const __m512i line = _mm512_permutex2var_epi8(previous, pixelOf[k], picture);
            if (kStreamed) {  // whole lines of this chunk's own bytes
                _mm512_stream_si512(reinterpret_cast<__m512i*>(pLine + kChunkPixels * k), line);
            } else {
                _mm512_storeu_si512(pLine + kChunkPixels * k, line);
            }
        }
        previous = picture;
        pPreviousEnd = pLine + 3 * kChunkPixels;
    }

    PANDRY_CHUNK_VECTORS void FinishPrevious() const {
        if (pPreviousEnd == nullptr || endBytes == 0) {
            return;
        }
        // And what lies after one is a blank span, unless it ends the picture.
        const bool endsPicture = pPreviousEnd + misalignment == pBgr + std::size_t(size) * size * 3;
        if (kStreamed && !endsPicture) {
            _mm512_stream_si512(
                reinterpret_cast<__m512i*>(pPreviousEnd),
                _mm512_mask_permutexvar_epi8(background, endBytes, endPixelOf, previous));
        } else {
            _mm512_mask_storeu_epi8(pPreviousEnd, endBytes,
                                    _mm512_maskz_permutexvar_epi8(kAllBytes, endPixelOf, previous));
        }
    }
};

// The blank spans of a streamed top-down picture, those adjoining in memory taken as one:
// whole lines past the caches, the part lines at either end being the chunks' beside them
// but at the picture's own first and last bytes.
PANDRY_CHUNK_VECTORS void StreamBlankSpans(const RemapChunkList& list, std::uint8_t* pBgr,
                                           __m512i background) {
    const std::uint8_t* const pPictureEnd = pBgr + std::size_t(list.size) * list.size * 3;
    for (int b = 0; b < list.blankCount;) {
        std::uint8_t* const pFirst = pBgr + std::size_t(list.pBlankSpans[b].firstPixel) * 3;
        std::uint8_t* pEnd = pFirst;
        for (;
             b < list.blankCount && pBgr + std::size_t(list.pBlankSpans[b].firstPixel) * 3 == pEnd;
             ++b) {
            pEnd += std::size_t(list.pBlankSpans[b].pixels) * 3;
        }
        const int headBytes = int(reinterpret_cast<std::uintptr_t>(pFirst) % kChunkPixels);
        std::uint8_t* pLine = pFirst - headBytes;
        if (headBytes != 0) {
            if (pFirst == pBgr) {
                _mm512_mask_storeu_epi8(pLine, kAllBytes << headBytes, background);
            }
            pLine += kChunkPixels;
        }
        for (; pLine + kChunkPixels <= pEnd; pLine += kChunkPixels) {
            _mm512_stream_si512(reinterpret_cast<__m512i*>(pLine), background);
        }
        if (pLine != pEnd && pEnd == pPictureEnd) {
            _mm512_mask_storeu_epi8(pLine, kAllBytes >> (kChunkPixels - (pEnd - pLine)),
                                    background);
        }
    }
}

template <GreyLayout kLayout>
PANDRY_CHUNK_VECTORS void RemapGreyToBgr(const RemapChunkList& list, const std::uint8_t* pSource,
                                         const std::uint8_t* pLevels, std::uint8_t* pBgr,
                                         CSampleTally* pTally) {
    const std::uint8_t background = pLevels[kGreyBackground];
    BgrStore<kLayout> store{};
    store.pBgr = pBgr;
    store.size = std::uint32_t(list.size);
    store.levels = LoadVbmiTable(pLevels);
    store.background = _mm512_set1_epi8(static_cast<char>(background));
    const int misalignment = int(reinterpret_cast<std::uintptr_t>(pBgr) % kChunkPixels);
    store.misalignment = std::size_t(misalignment);
    alignas(64) std::uint8_t pixelOf[4][kChunkPixels];
    for (int k = 0; k < 4; ++k) {
        for (int b = 0; b < kChunkPixels; ++b) {
            // Byte 192 + byte of the chunk before is byte `byte` of this one.
            const int byte = kChunkPixels * k + b - misalignment;
            const int chunkBytes = 3 * kChunkPixels;
            pixelOf[k][b] = static_cast<std::uint8_t>(
                byte < 0 ? (chunkBytes + byte) / 3 : kChunkPixels + (byte % chunkBytes) / 3);
        }
        if (k < 3) {
            store.pixelOf[k] = _mm512_load_si512(pixelOf[k]);
        } else {
            store.endPixelOf = _mm512_load_si512(pixelOf[k]);
        }
    }
    store.ownFirstBytes = kAllBytes << misalignment;
    store.endBytes = ~store.ownFirstBytes;
    if (pTally != nullptr) {
        RemapGreyBatches<true>(list, pSource, store, pTally);
    } else {
        RemapGreyBatches<false>(list, pSource, store);
    }
    store.FinishPrevious();
    if (kLayout == GreyLayout::kTopDownStreamed) {
        StreamBlankSpans(list, pBgr, store.background);
        return;
    }
    FillBlankSpans(list, pBgr, background, kLayout == GreyLayout::kBottomUp);
}

#endif

}  // namespace

RemapChunkList RemapChunksFor(std::uint32_t pixelCount, bool foldFovea) {
    if (pixelCount == kZoomedPixelCount) {
        return foldFovea ? ListOf<kZoomedSize, ChunkKind::kFoldedGrey>()
                         : ListOf<kZoomedSize, ChunkKind::kGrey>();
    }
    if (pixelCount == kNormalPixelCount) {
        return foldFovea ? ListOf<kNormalSize, ChunkKind::kFoldedGrey>()
                         : ListOf<kNormalSize, ChunkKind::kGrey>();
    }
    return {};
}

RemapChunkList RemapColorChunksFor(std::uint32_t pixelCount) {
    if (pixelCount == kZoomedPixelCount) {
        return ListOf<kZoomedSize, ChunkKind::kColor>();
    }
    if (pixelCount == kNormalPixelCount) {
        return ListOf<kNormalSize, ChunkKind::kColor>();
    }
    return {};
}

#ifdef PANDRY_X86_VECTORS

// Out of line: inlined into the AVX-512 kernel, the copies are vectorised back into gathers.
__attribute__((noinline)) void GatherColorRunsByLoads(const std::uint16_t* pSources,
                                                      std::uint32_t first, std::uint32_t end,
                                                      const std::uint8_t* pColorFrame,
                                                      std::uint8_t* pValues, bool redFirst) {
    redFirst ? GatherColorRunsAsWords<true>(pSources, first, end, pColorFrame, pValues)
             : GatherColorRunsAsWords<false>(pSources, first, end, pColorFrame, pValues);
}

bool RemapByChunksAvailable() {
    static const bool available =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("bmi2");
    return available;
}

bool RemapGreyToBgrByChunksAvailable() {
    return RemapByChunksAvailable() || GreyChunksAvx2Available();
}

void RemapGreyByChunks(const RemapChunkList& list, const std::uint8_t* pSource,
                       std::uint8_t* pDestination) {
    if (RemapByChunksAvailable()) {
        RemapGreyBatches<false>(list, pSource, GreyStore{pDestination});
    }
}

void RemapGreyToBgrByChunks(const RemapChunkList& list, const std::uint8_t* pSource,
                            const std::uint8_t* pLevels, std::uint8_t* pBgr, GreyLayout layout,
                            CSampleTally* pTally) {
    if (!RemapByChunksAvailable()) {
        if (GreyChunksAvx2Available()) {  // streamed or not, alike
            RemapGreyToBgrByChunksAvx2(list, pSource, pLevels, pBgr,
                                       layout == GreyLayout::kBottomUp, pTally);
        }
        return;
    }
    switch (layout) {
        case GreyLayout::kBottomUp:
            RemapGreyToBgr<GreyLayout::kBottomUp>(list, pSource, pLevels, pBgr, pTally);
            break;
        case GreyLayout::kTopDown:
            RemapGreyToBgr<GreyLayout::kTopDown>(list, pSource, pLevels, pBgr, pTally);
            break;
        case GreyLayout::kTopDownStreamed:
            RemapGreyToBgr<GreyLayout::kTopDownStreamed>(list, pSource, pLevels, pBgr, pTally);
            _mm_sfence();  // the streamed lines seen by whoever reads the picture next
            break;
    }
}

bool RemapRgbByChunksAvailable() {
    return RemapByChunksAvailable() || ColorChunksAvx2Available();
}

void RemapRgbByChunks(const RemapChunkList& list, const std::uint8_t* pColorFrame,
                      std::uint8_t* pDestination, RgbLayout layout) {
    if (!RemapByChunksAvailable()) {
        if (ColorChunksAvx2Available()) {
            RemapRgbByChunksAvx2(list, pColorFrame, pDestination, layout);
        }
        return;
    }
    switch (layout) {
        case RgbLayout::kTopDownBgr:
            RemapColorBatches<RgbLayout::kTopDownBgr>(list, pColorFrame, pDestination);
            break;
        case RgbLayout::kBottomUpBgrOnBlack:
            RemapColorBatches<RgbLayout::kBottomUpBgrOnBlack>(list, pColorFrame, pDestination);
            break;
        case RgbLayout::kTopDownRgbOnBlack:
            RemapColorBatches<RgbLayout::kTopDownRgbOnBlack>(list, pColorFrame, pDestination);
            break;
    }
}

bool RemapRgbStreamedPays() {
    return RemapByChunksAvailable() && !GathersAreSlow();
}

void RemapRgbByChunksStreamed(const RemapChunkList& list, const std::uint8_t* pColorFrame,
                              std::uint8_t* pPicture, std::uint8_t* pStreamTo) {
    if (RemapRgbStreamedPays()) {
        CPictureStream stream(pStreamTo, pPicture, std::size_t(list.size) * list.size * 3);
        RemapColorBatches<RgbLayout::kTopDownRgbOnBlack, true>(list, pColorFrame, pPicture,
                                                               &stream);
    }
}

#else

bool RemapByChunksAvailable() {
    return false;
}

bool RemapGreyToBgrByChunksAvailable() {
    return false;
}

bool RemapRgbByChunksAvailable() {
    return false;
}

void RemapGreyByChunks(const RemapChunkList&, const std::uint8_t*, std::uint8_t*) {}

void RemapGreyToBgrByChunks(const RemapChunkList&, const std::uint8_t*, const std::uint8_t*,
                            std::uint8_t*, GreyLayout, CSampleTally*) {}

void RemapRgbByChunks(const RemapChunkList&, const std::uint8_t*, std::uint8_t*, RgbLayout) {}

bool RemapRgbStreamedPays() {
    return false;
}

void RemapRgbByChunksStreamed(const RemapChunkList&, const std::uint8_t*, std::uint8_t*,
                              std::uint8_t*) {}

#endif
