#include "processing/FrameProcessor.h"

#include <cstring>
#include <new>
#include <utility>

#include "camera/PortCamera.h"
#include "processing/CalibrationFile.h"
#include "processing/RemapChunks.h"
#include "processing/RemapRuns.h"

CFrameProcessor::CFrameProcessor() = default;

CFrameProcessor::~CFrameProcessor() = default;

void CFrameProcessor::RawToRgb(std::uint8_t*) {}

void CFrameProcessor::RemappedToRgb(std::uint8_t*) {}

void CFrameProcessor::Histogram(HistogramCounts&) {}

int CFrameProcessor::Acquire() {
    if (!m_bConfigured || m_pCamera == nullptr || !m_pCamera->ReadFrame(m_pRawFrame.get())) {
        return 0;
    }
    ProcessRawFrame();
    return 1;
}

bool CFrameProcessor::TakeFrame(const std::uint8_t* pRaw) {
    if (!m_bConfigured) {
        return false;
    }
    std::memcpy(m_pRawFrame.get(), pRaw, kFrameBytes);
    ProcessRawFrame();
    return true;
}

void CFrameProcessor::Configure(int, int, int, int, int, int, int) {}

void CFrameProcessor::ConfigureKeepingSize(int median, int offset, int aux1, int aux2, int gain) {
    if (m_bConfigured) {
        Configure(median, offset, aux1, aux2, gain, m_nWidth, m_nHeight);
    }
}

void CFrameProcessor::Remap() {}

int CFrameProcessor::SaveBitmap(int columns, int rows, const char* path) {
    return path != nullptr && SaveBitmapFile(columns, rows, path) ? 1 : 0;
}

FileResult CFrameProcessor::SaveBitmapFile(int columns, int rows, const std::string& path) {
    return WriteBitmap(columns, rows, path.c_str());
}

FileResult CFrameProcessor::WriteBitmap(int, int, const char* path) {
    return NothingToSave(path);
}

FileResult CFrameProcessor::NothingToSave(const char* path) {
    return FileResult::Failure(std::string("cannot write ") + path + ": there is no picture");
}

FileResult CFrameProcessor::WrongSize(const char* path, int columns, int rows) {
    return FileResult::Failure(std::string("cannot write ") + path + ": " +
                               std::to_string(columns) + " x " + std::to_string(rows) +
                               " is the size of neither picture");
}

FileResult CFrameProcessor::OutOfMemory(const char* path) {
    return FileResult::Failure(std::string("cannot write ") + path + ": out of memory");
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
    m_pCorrectionShift.reset(new (std::nothrow) std::int16_t[kFrameBytes]);
    m_bShiftStale = true;
    // The remap walks are derived once from the table; doing it here keeps the first
    // frame free of allocation.
    PrepareRemapRuns();
    RemapChunksFor(m_nPixelCount, false);
    RemapChunksFor(m_nPixelCount, true);
    return m_pRawFrame && m_pCalibration && m_pCorrectionShift;
}

void CFrameProcessor::ReleaseBaseBuffers() {
    m_pRawFrame.reset();
    m_pCalibration.reset();
    m_pCorrectionShift.reset();
}

void CFrameProcessor::LoadCalibration() {
    m_calibrationLoaded = {};
    if (!m_pCalibration || m_strCalibrationPath.empty()) {
        return;
    }
    m_bShiftStale = true;
    try {
        FileResult loaded = LoadCalibrationFile(m_strCalibrationPath, m_pCalibration.get());
        if (!CalibrationIsMissing(loaded)) {
            m_calibrationLoaded = std::move(loaded);
        }
    } catch (const std::bad_alloc&) {
        // No memory for the file's bytes or even the reason: Configure still succeeds, with
        // the dark image all zero as when there is no file.
    }
}

std::shared_ptr<const GainTable> CFrameProcessor::CurrentGainTable() const {
    std::lock_guard<std::mutex> lock(m_gainTableMutex);
    return m_pGainTable;
}

void CFrameProcessor::PublishGainTable() {
    // Built aside and swapped in whole, so a frame being corrected keeps the table it took.
    std::shared_ptr<const GainTable> pTable;
    try {
        auto pNew = std::make_shared<GainTable>();
        BuildGainTable(*pNew, static_cast<double>(m_fGain.load(std::memory_order_relaxed)));
        pTable = std::move(pNew);
    } catch (const std::bad_alloc&) {
        // Keep the table in force; a processor that never had one corrects to black.
        if (CurrentGainTable()) {
            return;
        }
        static const GainTable kBlackTable{};
        pTable = std::shared_ptr<const GainTable>(std::shared_ptr<void>(), &kBlackTable);
    }
    std::lock_guard<std::mutex> lock(m_gainTableMutex);
    m_pGainTable.swap(pTable);  // the old table is freed after the lock, with pTable
}
