#include <algorithm>
#include <array>
#include <memory>
#include <new>

#include "camera/PortCamera.h"
#include "processing/CalibrationFile.h"
#include "processing/FrameProcessor.h"

namespace {

constexpr int kCalibrationFrames = 10;

}  // namespace

int CFrameProcessor::Calibrate() {
    if (!m_bConfigured || m_pCamera == nullptr) {
        return 0;
    }
    std::int32_t* pCalibration = m_pCalibration.get();
    std::fill_n(pCalibration, kFrameBytes, 0);
    m_bShiftStale = true;  // every way out below leaves a changed calibration

    std::array<std::unique_ptr<std::uint8_t[]>, kCalibrationFrames> frames;
    for (auto& pFrame : frames) {
        pFrame.reset(new (std::nothrow) std::uint8_t[kFrameBytes]());
        if (!pFrame || !m_pCamera->ReadFrame(pFrame.get())) {
            return 0;  // the frames read so far are released with `frames`
        }
    }
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        int sum = 0;
        for (const auto& pFrame : frames) {
            sum += pFrame[i];
        }
        pCalibration[i] = (sum + kCalibrationFrames / 2) / kCalibrationFrames;
    }
    // A file that cannot be replaced leaves the new calibration in memory only.
    StoreCalibrationFile(m_strCalibrationPath.c_str(), pCalibration);
    return 1;
}
