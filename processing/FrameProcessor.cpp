#include "processing/FrameProcessor.h"

#include <cstring>
#include <new>
#include <utility>

#include "processing/CalibrationFile.h"
#include "processing/RemapRuns.h"

CFrameProcessor::CFrameProcessor() = default;

CFrameProcessor::~CFrameProcessor() = default;

void CFrameProcessor::RawToRgb(std::uint8_t*) {}

void CFrameProcessor::RemappedToRgb(std::uint8_t*) {}

void CFrameProcessor::Histogram(HistogramCounts&) {}

int CFrameProcessor::Acquire() {
    return 0;
}

void CFrameProcessor::Configure(int, int, int, int, int, int, int) {}

void CFrameProcessor::Remap() {}

int CFrameProcessor::SaveBitmap(int, int, const char*) {
    return 0;
}

bool CFrameProcessor::SetCamera(CPortCamera* pCamera) {
    m_pCamera = pCamera;
    return true;
}

void CFrameProcessor::SetCalibrationPath(std::string path) {
    m_strCalibrationPath = std::move(path);
}

void CFrameProcessor::StoreSettings(int offset, int gain) {
    m_fGain.store(static_cast<float>(gain), std::memory_order_relaxed);
    m_nOffset.store(offset, std::memory_order_relaxed);
}

bool CFrameProcessor::NeedsAllocation(int width, int height) const {
    return !m_bConfigured || width != m_nWidth || height != m_nHeight;
}

bool CFrameProcessor::AllocateBaseBuffers(int width, int height) {
    m_nHeight = height;
    m_nWidth = width;
    m_nPixelCount = static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height);
    m_pRawFrame.reset(new (std::nothrow) std::uint8_t[kFrameBytes]());
    m_pCalibration.reset(new (std::nothrow) std::int32_t[kFrameBytes]());
    // The remap walks are derived once from the table; doing it here keeps the first
    // frame free of allocation.
    PrepareRemapRuns();
    return m_pRawFrame && m_pCalibration;
}

void CFrameProcessor::ReleaseBaseBuffers() {
    m_pRawFrame.reset();
    m_pCalibration.reset();
}

void CFrameProcessor::LoadCalibration() {
    if (m_pCalibration) {
        LoadCalibrationFile(m_strCalibrationPath.c_str(), m_pCalibration.get());
    }
}

void CFrameProcessor::PublishGainTable() {
    // Built aside and swapped in whole, so a frame being corrected keeps the table it took.
    std::shared_ptr<GainTable> pTable;
    try {
        pTable = std::make_shared<GainTable>();
    } catch (const std::bad_alloc&) {
        // Keep the table in force; a processor without one corrects to black.
        if (!m_pGainTable.load()) {
            static const GainTable kBlackTable{};
            m_pGainTable.store(
                std::shared_ptr<const GainTable>(std::shared_ptr<void>(), &kBlackTable));
        }
        return;
    }
    BuildGainTable(*pTable, static_cast<double>(m_fGain.load(std::memory_order_relaxed)));
    m_pGainTable.store(std::move(pTable));
}
