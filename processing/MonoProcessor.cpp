#include "processing/MonoProcessor.h"

#include <cstring>
#include <new>
#include <utility>

#include "processing/RemapChunks.h"
#include "processing/SampleTally.h"

namespace {

constexpr std::uint8_t kNeutral = 128;
// The unmapped picture: one column per ring, one row per sector.
constexpr int kUnmappedWidth = kRings;
constexpr int kUnmappedHeight = kSectors;
// Far above the two sizes in use; keeps width x height clear of overflow.
constexpr int kMaxSide = 4096;

std::unique_ptr<std::uint8_t[]> AllocateFilled(std::size_t bytes, std::uint8_t value) {
    std::unique_ptr<std::uint8_t[]> pBlock(new (std::nothrow) std::uint8_t[bytes]);
    if (pBlock) {
        std::memset(pBlock.get(), value, bytes);
    }
    return pBlock;
}

}  // namespace

CMonoProcessor::CMonoProcessor() = default;

CMonoProcessor::~CMonoProcessor() {
    m_pConverter.reset();
    ReleaseBaseBuffers();
    ReleasePlanes();
}

void CMonoProcessor::RawToRgb(std::uint8_t* pRgb) {
    if (!IsConfigured()) {
        return;
    }
    FillFoveaOnce();
    // The chroma planes never leave 128, so the luma alone decides every byte.
    m_pConverter->ConvertGrey(m_pFramePlane[0].get(), pRgb, kUnmappedWidth, kUnmappedHeight);
}

void CMonoProcessor::RemappedToRgb(std::uint8_t* pRgb) {
    if (!IsConfigured() || (m_pOwedLuma != nullptr && RemapIntoRgb(pRgb, GreyLayout::kBottomUp))) {
        return;
    }
    CatchUpRemap();
    m_pConverter->ConvertGrey(m_pOutputPlane[0].get(), pRgb, m_nWidth, m_nHeight);
}

bool CMonoProcessor::RemappedToTopDownRgb(std::uint8_t* pRgb, bool streamed) {
    return IsConfigured() && m_pOwedLuma != nullptr &&
           RemapIntoRgb(pRgb, streamed ? GreyLayout::kTopDownStreamed : GreyLayout::kTopDown);
}

bool CMonoProcessor::HasOnePassRemap() const {
    return RemapGreyToBgrByChunksAvailable() && RemapChunksFor(PixelCount(), false).chunkCount != 0;
}

// What ConvertGrey gives from the output plane once caught up, in one pass from the luma.
bool CMonoProcessor::RemapIntoRgb(std::uint8_t* pRgb, GreyLayout layout) {
    const RemapChunkList chunks = RemapChunksFor(PixelCount(), !OwedLumaFilled());
    if (!RemapGreyToBgrByChunksAvailable() || chunks.chunkCount == 0) {
        return false;
    }
    // While the histogram is drawn, its count of the raw frame rides in the remap's pass.
    if (m_bCountWithRemap && !m_bRawCounted) {
        CSampleTally tally(RawFrame(), kFrameBytes);
        RemapGreyToBgrByChunks(chunks, m_pOwedLuma, m_greyLevels.data(), pRgb, layout, &tally);
        m_rawCounts.fill(0);
        tally.AddTo(m_rawCounts.data());
        m_bRawCounted = true;
    } else {
        RemapGreyToBgrByChunks(chunks, m_pOwedLuma, m_greyLevels.data(), pRgb, layout);
    }
    return true;
}

bool CMonoProcessor::OwedLumaFilled() const {
    return m_pOwedLuma == m_pFramePlane[0].get() ? m_bFoveaFilled : m_bOwedFilled;
}

void CMonoProcessor::CatchUpRemap() {
    if (m_pOwedLuma == nullptr) {
        return;
    }
    const bool filled = OwedLumaFilled();
    std::uint8_t* pLuma = std::exchange(m_pOwedLuma, nullptr);
    // The fold saves the fill (7 us) where nothing else needs it.
    if (filled || !RemapGreyFoldingFovea(pLuma, m_pOutputPlane[0].get())) {
        if (pLuma == m_pFramePlane[0].get()) {
            FillFoveaOnce();
        } else if (!filled) {
            FillFovea(pLuma);  // the spare, which nothing else reads
        }
        RemapGrey(pLuma, m_pOutputPlane[0].get());
    }
}

void CMonoProcessor::Histogram(HistogramCounts& counts) {
    if (!IsConfigured()) {
        return;
    }
    m_bHistogramAsked = true;
    if (m_bRawCounted) {
        for (std::size_t v = 0; v < 256; ++v) {
            counts[0][v] += m_rawCounts[v];
        }
        return;
    }
    static_assert(kFrameBytes % 4 == 0);
    CSampleTally tally(RawFrame(), kFrameBytes);
    tally.CountRest();
    tally.AddTo(counts[0]);
}

void CMonoProcessor::ProcessRawFrame() {
    if (m_pOwedLuma == m_pFramePlane[0].get()) {
        m_bOwedFilled = m_bFoveaFilled;
        std::swap(m_pFramePlane[0], m_pSpareLuma);
    }
    CorrectRawFrame(m_pFramePlane[0].get());
    m_bFoveaFilled = false;
    m_bRawCounted = false;
    m_bCountWithRemap = std::exchange(m_bHistogramAsked, false);
}

const std::uint8_t* CMonoProcessor::FramePlane(int plane) {
    if (plane == 0 && IsConfigured()) {
        FillFoveaOnce();
    }
    return m_pFramePlane[plane].get();
}

const std::uint8_t* CMonoProcessor::OutputPlane(int plane) {
    if (plane == 0 && IsConfigured()) {
        CatchUpRemap();
    }
    return m_pOutputPlane[plane].get();
}

void CMonoProcessor::FillFoveaOnce() {
    if (!m_bFoveaFilled) {
        FillFovea(m_pFramePlane[0].get());
        m_bFoveaFilled = true;
    }
}

// aux1 and aux2 mean nothing to this sensor.
void CMonoProcessor::Configure(int median, int offset, int, int, int gain, int width, int height) {
    StoreSettings(offset, gain);
    m_nMedian.store(median, std::memory_order_relaxed);
    if (NeedsAllocation(width, height)) {
        if (IsConfigured()) {
            MarkConfigured(false);
            m_pConverter.reset();
            ReleaseBaseBuffers();
            ReleasePlanes();
        }
        const bool sizeUsable = width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide;
        m_pConverter.reset(new (std::nothrow) CYuvToRgb);
        if (!sizeUsable || !m_pConverter || !AllocateBaseBuffers(width, height) ||
            !AllocatePlanes()) {
            // Refused or out of memory: stay unconfigured, every operation a safe no-op.
            m_pConverter.reset();
            ReleaseBaseBuffers();
            ReleasePlanes();
            return;
        }
        m_bFoveaFilled = true;  // all 128, as a filled frame of 128 is
        m_pOwedLuma = nullptr;
        m_bRawCounted = false;  // the counts were the freed frame's
        MarkConfigured(true);
        m_pConverter->BuildTables();
        for (int y = 0; y < 256; ++y) {
            m_greyLevels[std::size_t(y)] = m_pConverter->GreyLevel(std::uint8_t(y));
        }
        LoadCalibration();
    }
    PublishGainTable();
}

void CMonoProcessor::Remap() {
    if (IsConfigured()) {
        m_pOwedLuma = m_pFramePlane[0].get();
    }
}

FileResult CMonoProcessor::WriteBitmap(int columns, int rows, const char* path) {
    if (!IsConfigured()) {
        return NothingToSave(path);
    }
    if (columns <= 0 || rows <= 0) {
        return WrongSize(path, columns, rows);
    }
    const long long pixels = static_cast<long long>(columns) * rows;
    std::array<const std::uint8_t*, kPlanes> planes{};
    int width = 0;
    int height = 0;
    if (pixels == static_cast<long long>(PixelCount())) {
        CatchUpRemap();
        planes = {m_pOutputPlane[0].get(), m_pOutputPlane[1].get(), m_pOutputPlane[2].get()};
        width = m_nWidth;
        height = m_nHeight;
    } else if (pixels == static_cast<long long>(kFrameBytes)) {
        FillFoveaOnce();
        planes = {m_pFramePlane[0].get(), m_pFramePlane[1].get(), m_pFramePlane[2].get()};
        width = kUnmappedWidth;
        height = kUnmappedHeight;
    } else {
        return WrongSize(path, columns, rows);
    }
    auto pPicture = AllocateFilled(std::size_t(width) * height * 3, 0);
    if (!pPicture) {
        return OutOfMemory(path);
    }
    m_pConverter->Convert(planes[0], planes[1], planes[2], pPicture.get(), width, height);
    return WriteBmp(pPicture.get(), width, height, path);
}

bool CMonoProcessor::AllocatePlanes() {
    for (int k = 0; k < kPlanes; ++k) {
        m_pFramePlane[k] = AllocateFilled(kFrameBytes, kNeutral);
        m_pOutputPlane[k] = AllocateFilled(PixelCount(), kNeutral);
        if (!m_pFramePlane[k] || !m_pOutputPlane[k]) {
            return false;
        }
    }
    m_pSpareLuma = AllocateFilled(kFrameBytes, kNeutral);
    return m_pSpareLuma != nullptr;
}

void CMonoProcessor::ReleasePlanes() {
    for (int k = 0; k < kPlanes; ++k) {
        m_pFramePlane[k].reset();
        m_pOutputPlane[k].reset();
    }
    m_pSpareLuma.reset();
    m_pOwedLuma = nullptr;
}
