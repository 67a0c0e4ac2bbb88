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
    m_calibrationStored = {};
    // Worked out aside: a calibration that fails part-way leaves the dark image in use.
    std::unique_ptr<std::int32_t[]> pCalibration(new (std::nothrow) std::int32_t[kFrameBytes]);
    if (!pCalibration) {
        return 0;
    }
    std::array<std::unique_ptr<std::uint8_t[]>, kCalibrationFrames> frames;
    for (auto& pFrame : frames) {
        pFrame.reset(new (std::nothrow) std::uint8_t[kFrameBytes]());
        if (!pFrame || !m_pCamera->ReadFrame(pFrame.get())) {
            return 0;  // the frames read so far are released with `frames`
        }
    }
    std::array<const std::uint8_t*, kCalibrationFrames> read;
    std::transform(frames.begin(), frames.end(), read.begin(),
                   [](const auto& pFrame) { return pFrame.get(); });
    AverageDarkFrames(read.data(), kCalibrationFrames, pCalibration.get());
    std::copy_n(pCalibration.get(), kFrameBytes, m_pCalibration.get());
    m_bShiftStale = true;
    // A file that cannot be replaced leaves the new calibration in memory only.
    m_calibrationStored = StoreCalibrationFile(m_strCalibrationPath, m_pCalibration.get());
    return 1;
}
