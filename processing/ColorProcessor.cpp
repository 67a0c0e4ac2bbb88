#include "processing/ColorProcessor.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "processing/ChannelMap.h"
#include "processing/PixelOrder.h"
#include "processing/RemapChunks.h"

namespace {

constexpr std::size_t kRawRowBytes = std::size_t{kRings} * 3;  // one sector, 456 bytes

template <typename T>
std::unique_ptr<T[]> AllocateZeroed(std::size_t count) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]());
}

// Copies `rows` rows of `rowBytes` each, the last source row first.
void CopyRowsReversed(const std::uint8_t* pSource, std::uint8_t* pDestination, int rows,
                      std::size_t rowBytes) {
    for (int i = 0; i < rows; ++i) {
        std::memcpy(pDestination + std::size_t(i) * rowBytes,
                    pSource + std::size_t(rows - 1 - i) * rowBytes, rowBytes);
    }
}

}  // namespace

CColorProcessor::CColorProcessor() = default;

CColorProcessor::~CColorProcessor() {
    ReleaseBlocks();
    ReleaseBaseBuffers();
}

void CColorProcessor::RawToRgb(std::uint8_t* pRgb) {
    if (!IsConfigured()) {
        return;
    }
    CopyRowsReversed(ColorFrame(), pRgb, kSectors, kRawRowBytes);
}

void CColorProcessor::RemappedToRgb(std::uint8_t* pRgb) {
    if (!IsConfigured()) {
        return;
    }
    // Straight into the buffer where the processor can; otherwise by the remapped image.
    if (m_pPendingRemap != nullptr &&
        RemapRgbOnBlack(m_pPendingRemap, pRgb, RgbLayout::kBottomUpBgrOnBlack)) {
        return;
    }
    CatchUpRemap();
    CopyRowsReversed(m_pRemapped.get(), pRgb, m_nHeight, std::size_t(m_nWidth) * 3);
}

void CColorProcessor::RawToTopDownRgb(std::uint8_t* pRgb) {
    if (!IsConfigured()) {
        return;
    }
    SwapRedAndBlue(ColorFrame(), pRgb, kFrameBytes);
}

void CColorProcessor::RemappedToTopDownRgb(std::uint8_t* pRgb, bool streamed) {
    if (!IsConfigured()) {
        return;
    }
    if (streamed && m_pPendingRemap != nullptr && StreamsRemappedPicture()) {
        if (!m_pStreamScratch) {
            m_pStreamScratch.reset(new (std::nothrow) std::uint8_t[std::size_t(PixelCount()) * 3]);
        }
        if (m_pStreamScratch) {  // else stored as any picture is
            RemapRgbByChunksStreamed(RemapColorChunksFor(PixelCount()), m_pPendingRemap,
                                     m_pStreamScratch.get(), pRgb);
            return;
        }
    }
    if (m_pPendingRemap != nullptr &&
        RemapRgbOnBlack(m_pPendingRemap, pRgb, RgbLayout::kTopDownRgbOnBlack)) {
        return;
    }
    CatchUpRemap();
    SwapRedAndBlue(m_pRemapped.get(), pRgb, PixelCount());
}

bool CColorProcessor::StreamsRemappedPicture() const {
    return IsConfigured() && RemapRgbStreamedPays() &&
           RemapColorChunksFor(PixelCount()).chunkCount != 0;
}

const std::uint8_t* CColorProcessor::RemappedImage() {
    if (IsConfigured()) {
        CatchUpRemap();
    }
    return m_pRemapped.get();
}

void CColorProcessor::CatchUpRemap() {
    if (m_pPendingRemap != nullptr) {
        RemapRgb(m_pPendingRemap, m_pRemapped.get());
        m_pPendingRemap = nullptr;
    }
}

void CColorProcessor::Histogram(HistogramCounts& counts) {
    if (!IsConfigured()) {
        return;
    }
    // Four tallies, taking the rings in turn, keep runs of equal values from queueing on
    // one counter.
    constexpr int kTallies = 4;
    std::int32_t tallies[kTallies][kUncountedChannel][256] = {};
    static_assert((kRings - kFoveaRings) % 2 == 0, "the periphery's rings come in pairs");
    for (int s = 0; s < kSectors; ++s) {
        const std::uint8_t* pSector = m_pRawFrame.get() + FrameIndex(s, 0);
        const SectorChannels& channels = m_sectorChannels[s];
        // Each tally's row for this sector's channels taken once: every increment is then
        // one instruction on a row and a sample.
        std::int32_t* const pFovea[kTallies] = {
            tallies[0][channels.fovea], tallies[1][channels.fovea], tallies[2][channels.fovea],
            tallies[3][channels.fovea]};
        int r = channels.firstCountedRing;
        for (; r + 4 <= kFoveaRings; r += 4) {
            ++pFovea[0][pSector[r]];
            ++pFovea[1][pSector[r + 1]];
            ++pFovea[2][pSector[r + 2]];
            ++pFovea[3][pSector[r + 3]];
        }
        for (; r < kFoveaRings; ++r) {
            ++pFovea[r % kTallies][pSector[r]];
        }
        std::int32_t* const pEven[2] = {tallies[0][channels.evenRings],
                                        tallies[2][channels.evenRings]};
        std::int32_t* const pOdd[2] = {tallies[1][channels.oddRings],
                                       tallies[3][channels.oddRings]};
        for (; r + 4 <= kRings; r += 4) {
            ++pEven[0][pSector[r]];
            ++pOdd[0][pSector[r + 1]];
            ++pEven[1][pSector[r + 2]];
            ++pOdd[1][pSector[r + 3]];
        }
        for (; r < kRings; r += 2) {
            ++pEven[0][pSector[r]];
            ++pOdd[0][pSector[r + 1]];
        }
    }
    for (int channel = 0; channel < kUncountedChannel; ++channel) {
        for (int v = 0; v < 256; ++v) {
            counts[channel][v] += tallies[0][channel][v] + tallies[1][channel][v] +
                                  tallies[2][channel][v] + tallies[3][channel][v];
        }
    }
}

void CColorProcessor::ProcessRawFrame() {
    CorrectRawFrame(m_pProcessedFrame.get());
    // Reconstruction reads the fovea's outer ring, so the fill cannot be folded away here.
    FillFovea(m_pProcessedFrame.get());
    if (m_pPendingRemap == ColorFrame()) {
        m_nColorFrame ^= 1;
    }
    ReconstructColor(m_pProcessedFrame.get(), m_pColorFrames[m_nColorFrame].get());
}

// median, aux1 and aux2 mean nothing to a colour sensor.
void CColorProcessor::Configure(int, int offset, int, int, int gain, int width, int height) {
    StoreSettings(offset, gain);
    if (NeedsAllocation(width, height)) {
        if (IsConfigured()) {
            MarkConfigured(false);
            ReleaseBlocks();
            ReleaseBaseBuffers();
        }
        if (!AllocateBaseBuffers(width, height) || !AllocateBlocks(width, height)) {
            // Out of memory: stay unconfigured, so every operation is a safe no-op.
            ReleaseBlocks();
            ReleaseBaseBuffers();
            return;
        }
        // Built once per allocation: the worker reads the map while a same-size Configure
        // (Median) runs, so that one must not rewrite it.
        BuildChannelMap();
        MarkConfigured(true);
        LoadCalibration();
    }
    PublishGainTable();
}

void CColorProcessor::Remap() {
    if (!IsConfigured()) {
        return;
    }
    m_pPendingRemap = ColorFrame();
}

FileResult CColorProcessor::WriteBitmap(int columns, int rows, const char* path) {
    if (!IsConfigured()) {
        return NothingToSave(path);
    }
    if (columns <= 0 || rows <= 0) {
        return WrongSize(path, columns, rows);
    }
    const long long pixels = static_cast<long long>(columns) * rows;
    if (pixels == static_cast<long long>(PixelCount())) {
        auto pPicture = AllocateZeroed<std::uint8_t>(std::size_t(PixelCount()) * 3);
        if (!pPicture) {
            return OutOfMemory(path);
        }
        // Stored bottom row first, so the file stands upright like the display.
        RemappedToRgb(pPicture.get());
        return WriteBmp(pPicture.get(), m_nWidth, m_nHeight, path);
    }
    if (pixels == static_cast<long long>(kFrameBytes)) {
        auto pPicture = AllocateZeroed<std::uint8_t>(kColorFrameBytes);
        if (!pPicture) {
            return OutOfMemory(path);
        }
        RawToRgb(pPicture.get());
        return WriteBmp(pPicture.get(), kRings, kSectors, path);
    }
    return WrongSize(path, columns, rows);
}

// Runs only while the buffers are new, before any frame is counted with the map.
void CColorProcessor::BuildChannelMap() {
    std::int32_t* pCodes = m_pChannelMap.get();
    if (pCodes == nullptr) {
        return;
    }
    for (int s = 0; s < kSectors; ++s) {
        for (int r = 0; r < kRings; ++r) {
            pCodes[FrameIndex(s, r)] = ChannelCodeOf(s, r);
        }
        const std::int32_t* pSector = pCodes + FrameIndex(s, 0);
        SectorChannels& channels = m_sectorChannels[s];
        const auto pFirstCounted =
            std::find_if(pSector, pSector + kFoveaRings,
                         [](std::int32_t code) { return code != kUncountedChannel; });
        channels.firstCountedRing = static_cast<std::uint8_t>(pFirstCounted - pSector);
        channels.fovea = static_cast<std::uint8_t>(
            pFirstCounted == pSector + kFoveaRings ? kBlueChannel : *pFirstCounted);  // or none
        channels.evenRings = static_cast<std::uint8_t>(pSector[kFoveaRings]);
        channels.oddRings = static_cast<std::uint8_t>(pSector[kFoveaRings + 1]);
    }
}

bool CColorProcessor::AllocateBlocks(int width, int height) {
    m_pProcessedFrame = AllocateZeroed<std::uint8_t>(kFrameBytes);
    for (auto& pFrame : m_pColorFrames) {
        pFrame = AllocateZeroed<std::uint8_t>(kColorFrameBytes);
    }
    m_nColorFrame = 0;
    m_pPendingRemap = nullptr;
    m_pRemapped = AllocateZeroed<std::uint8_t>(std::size_t(width) * std::size_t(height) * 3);
    m_pChannelMap = AllocateZeroed<std::int32_t>(kFrameBytes);
    return m_pProcessedFrame && m_pColorFrames[0] && m_pColorFrames[1] && m_pRemapped &&
           m_pChannelMap;
}

void CColorProcessor::ReleaseBlocks() {
    m_pProcessedFrame.reset();
    for (auto& pFrame : m_pColorFrames) {
        pFrame.reset();
    }
    m_pPendingRemap = nullptr;
    m_pRemapped.reset();
    m_pStreamScratch.reset();  // sized for the old picture
    m_pChannelMap.reset();
}
