#include <algorithm>

#include "processing/FlatField.h"
#include "processing/FrameProcessor.h"
#include "processing/VectorLookup.h"

void CFrameProcessor::Correct(const GainTable& table, std::uint8_t* pDestination,
                              const std::uint8_t* pRaw, const std::int32_t* pCalibration,
                              int offset) {
    const std::uint8_t* pLevels = table.data();
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        // 64-bit so that a calibration value from a foreign file cannot overflow.
        const std::int64_t v = std::int64_t{pRaw[i]} - pCalibration[i] + offset;
        pDestination[i] = pLevels[std::clamp<std::int64_t>(v, 0, 255)];
    }
}

void CFrameProcessor::PrepareCorrectionShift(const std::int32_t* pCalibration, int offset,
                                             std::int16_t* pShift) {
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        // Beyond +-256 a sample of 0..255 clamps the same way whatever the shift.
        const std::int64_t shift = std::int64_t{offset} - pCalibration[i];
        pShift[i] = static_cast<std::int16_t>(std::clamp<std::int64_t>(shift, -256, 256));
    }
}

void CFrameProcessor::CorrectPrepared(const GainTable& table, std::uint8_t* pDestination,
                                      const std::uint8_t* pRaw, const std::int16_t* pShift) {
    LookUpShiftedBytes(table, pRaw, pShift, pDestination, kFrameBytes);
}

void CFrameProcessor::SetFlatFactors(std::shared_ptr<const std::vector<std::int32_t>> pFactors) {
    m_pFlatFactors = std::move(pFactors);
}

const std::int32_t* CFrameProcessor::FlatFactorsInUse() const {
    return m_pFlatFactors ? m_pFlatFactors->data() : nullptr;
}

void CFrameProcessor::CorrectRawFrame(std::uint8_t* pDestination) {
    const int offset = Offset();
    if (m_pFlatFactors) {
        CorrectWithFlat(*CurrentGainTable(), pDestination, m_pRawFrame.get(), m_pCalibration.get(),
                        m_pFlatFactors->data(), offset);
        return;
    }
    if (m_bShiftStale.exchange(false) || offset != m_nShiftOffset) {
        PrepareCorrectionShift(m_pCalibration.get(), offset, m_pCorrectionShift.get());
        m_nShiftOffset = offset;
    }
    const std::shared_ptr<const GainTable> pTable = CurrentGainTable();
    CorrectPrepared(*pTable, pDestination, m_pRawFrame.get(), m_pCorrectionShift.get());
}
