#include <algorithm>
#include <array>
#include <cstring>

#include "processing/FrameProcessor.h"
#include "processing/VectorLookup.h"
#include "sensor/FoveaTable.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define PANDRY_FOVEA_GATHERS 1
#endif

namespace {

constexpr std::uint8_t kEmptyFoveaSample = 128;

// The fovea is copied aside, sector by sector, with one more byte holding the empty cells'
// value; each fovea sample is then read from the copy at the index this table gives. The
// gathers read sixteen indices at a time, the last sector's third sixteen past its 42, and
// four bytes at each index: both ends are padded.
constexpr std::size_t kEmptyCell = kFoveaTableEntries;
constexpr std::size_t kIndexPadding = 48 - kFoveaRings;
using FoveaGather = std::array<std::uint16_t, kFoveaTableEntries + kIndexPadding>;
using FoveaCopy = std::array<std::uint8_t, kFoveaTableEntries + 4>;

FoveaGather MakeFoveaGather() {
    FoveaGather gather{};
    gather.fill(std::uint16_t{kEmptyCell});
    const std::int32_t* pTable = FoveaTable();
    for (int s = 0; s < kSectors; ++s) {
        for (int r = 0; r < kFoveaRings; ++r) {
            const std::int32_t source = pTable[FoveaIndex(s, r)];
            gather[FoveaIndex(s, r)] = static_cast<std::uint16_t>(
                source == kNoFoveaSector ? kEmptyCell : FoveaIndex(source, r));
        }
    }
    return gather;
}

void GatherFoveaPlain(const FoveaGather& gather, const FoveaCopy& fovea, std::uint8_t* pFrame) {
    for (int s = 0; s < kSectors; ++s) {
        std::uint8_t* pSector = pFrame + FrameIndex(s, 0);
        const std::uint16_t* pFrom = &gather[FoveaIndex(s, 0)];
        for (int r = 0; r < kFoveaRings; ++r) {
            pSector[r] = fovea[pFrom[r]];
        }
    }
}

#ifdef PANDRY_FOVEA_GATHERS
#define PANDRY_GATHER_VECTORS __attribute__((target("avx512f")))

bool FoveaGathersPay() {
    static const bool pay = __builtin_cpu_supports("avx512f") && !GathersAreSlow();
    return pay;
}

// The zero-masked forms throughout: GCC 12 warns about the plain ones' undefined source.
constexpr __mmask16 kAllSixteen = 0xFFFF;

PANDRY_GATHER_VECTORS inline __m512i GatherWords(const std::uint16_t* pFrom,
                                                 const std::uint8_t* pFovea) {
    const __m512i at = _mm512_maskz_cvtepu16_epi32(
        kAllSixteen, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pFrom)));
    return _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), kAllSixteen, at, pFovea, 1);
}

PANDRY_GATHER_VECTORS inline __m128i GatherSixteen(const std::uint16_t* pFrom,
                                                   const std::uint8_t* pFovea) {
    return _mm512_maskz_cvtepi32_epi8(kAllSixteen, GatherWords(pFrom, pFovea));
}

// Each sector's 42 fovea samples as 16, 16 and 10 of one gather each.
PANDRY_GATHER_VECTORS void GatherFoveaVector(const FoveaGather& gather, const FoveaCopy& fovea,
                                             std::uint8_t* pFrame) {
    static_assert(kFoveaRings > 32 && kFoveaRings <= 48);
    constexpr __mmask16 kLastRings = (1u << (kFoveaRings - 32)) - 1;
    for (int s = 0; s < kSectors; ++s) {
        std::uint8_t* pSector = pFrame + FrameIndex(s, 0);
        const std::uint16_t* pFrom = &gather[FoveaIndex(s, 0)];
        const __m128i first = GatherSixteen(pFrom, fovea.data());
        const __m128i second = GatherSixteen(pFrom + 16, fovea.data());
        const __m512i last = GatherWords(pFrom + 32, fovea.data());
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pSector), first);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pSector + 16), second);
        _mm512_mask_cvtepi32_storeu_epi8(pSector + 32, kLastRings, last);
    }
}
#endif

}  // namespace

void CFrameProcessor::FillFovea(std::uint8_t* pFrame) {
    static const FoveaGather gather = MakeFoveaGather();
    FoveaCopy fovea;
    for (int s = 0; s < kSectors; ++s) {
        std::memcpy(&fovea[FoveaIndex(s, 0)], pFrame + FrameIndex(s, 0), kFoveaRings);
    }
    std::fill(fovea.begin() + kEmptyCell, fovea.end(), kEmptyFoveaSample);
#ifdef PANDRY_FOVEA_GATHERS
    if (FoveaGathersPay()) {
        GatherFoveaVector(gather, fovea, pFrame);
        return;
    }
#endif
    GatherFoveaPlain(gather, fovea, pFrame);
}
