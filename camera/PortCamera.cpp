#include "camera/PortCamera.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/device/DeviceTimeout.h"
#include "sensor/LogPolarFrame.h"

namespace {

constexpr int kFirstDevice = 1;
constexpr int kLastDevice = 5;
// Counts a driver reports to the probe when no camera answers.
constexpr std::uint32_t kNoCameraCount = 0;
constexpr std::uint32_t kNoCameraCountAlt = 5;

}  // namespace

CPortCamera::CPortCamera() = default;

CPortCamera::CPortCamera(std::shared_ptr<IDeviceResolver> resolver)
    : m_pResolver(std::move(resolver)) {}

CPortCamera::~CPortCamera() {
    if (m_hDevice != nullptr && m_hDevice != kInvalidDeviceHandle) {
        CloseDevice(m_hDevice);
    }
}

int CPortCamera::DeviceIndexForPort(int port) {
    return port >= kFirstDevice && port <= kLastDevice ? port : kFirstDevice;
}

int CPortCamera::Open(int port) {
    char path[32];
    std::snprintf(path, sizeof path, "\\\\.\\LPTSIMPLE%d", DeviceIndexForPort(port));
    std::lock_guard lock(m_ioMutex);
    // The first open decides the device for the link's whole life, even when it failed.
    if (m_hDevice == nullptr) {
        std::string error;
        m_hDevice =
            m_pResolver ? CreateDevice(path, *m_pResolver, &error) : CreateDevice(path, &error);
        std::lock_guard errorLock(m_errorMutex);
        m_strOpenError = error;
    }
    if (m_hDevice == kInvalidDeviceHandle) {
        return 0;
    }
    std::uint8_t probe[kProbeBytes] = {};
    std::uint32_t count = 0;
    bool answered = ReadDevice(m_hDevice, probe, kProbeBytes, &count,
                               ReadLimit::Within(DeviceProbeTimeout(), &m_cancel));
    if (count == kNoCameraCount || count == kNoCameraCountAlt) {
        return 0;
    }
    return answered ? 1 : 0;
}

int CPortCamera::ReadFrame(std::uint8_t* pFrame) {
    std::lock_guard lock(m_ioMutex);
    const auto start = std::chrono::steady_clock::now();
    errno = 0;
    // A short delivery is completed or failed, never passed on with stale bytes.
    const int result = ReadDeviceFully(m_hDevice, pFrame, kFrameBytes,
                                       ReadLimit::Within(DeviceReadTimeout(), &m_cancel))
                           ? 1
                           : 0;
    if (result == 0) {
        m_nReadErrno.store(errno, std::memory_order_relaxed);
    }
    m_nLastReadNs.store(std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count(),
                        std::memory_order_relaxed);
    return result;
}

void CPortCamera::CancelReads() {
    m_cancel.Cancel();
}

void CPortCamera::ResumeReads() {
    m_cancel.Reset();
}

std::string CPortCamera::ReadFailure() const {
    const int code = m_nReadErrno.load(std::memory_order_relaxed);
    return code != 0 ? std::strerror(code) : "no whole frame came";
}

std::string CPortCamera::OpenError() const {
    std::lock_guard lock(m_errorMutex);
    return m_strOpenError;
}
