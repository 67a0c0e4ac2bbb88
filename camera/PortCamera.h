#pragma once

#include <atomic>
#include <cstdint>

#include "platform/device/DeviceFile.h"

// The link to the camera: opens the device chosen by the port value once, probes it,
// then delivers whole raw frames. It holds no buffer; callers supply one per read.
class CPortCamera {
  public:
    CPortCamera();
    CPortCamera(const CPortCamera&) = delete;
    CPortCamera& operator=(const CPortCamera&) = delete;
    virtual ~CPortCamera();

    // Non-zero when the device answered the probe. Only the first call opens a device;
    // later calls probe the device already held (or fail at once if that open failed).
    int Open(int port);
    // Non-zero when a whole frame of kFrameBytes was delivered into pFrame.
    int ReadFrame(std::uint8_t* pFrame);
    // How long the last ReadFrame took, waiting for the device included; any thread.
    std::int64_t LastReadNanoseconds() const {
        return m_nLastReadNs.load(std::memory_order_relaxed);
    }

    static int DeviceIndexForPort(int port);

  private:
    DeviceHandle m_hDevice = nullptr;
    std::atomic<std::int64_t> m_nLastReadNs{0};
};
