#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/device/DeviceFile.h"
#include "platform/device/ReadCancel.h"

// The link to the camera: opens the device chosen by the port value once, probes it,
// then delivers whole raw frames. It holds no buffer; callers supply one per read.
//
// Open and ReadFrame may run on different threads; they take turns. Every read is bounded
// (the probe by DeviceProbeTimeout(), a frame by DeviceReadTimeout() from its start) and
// CancelReads, from any thread, ends the one in progress at once.
class CPortCamera {
  public:
    CPortCamera();
    // A link whose device comes from this resolver rather than the one installed for the
    // process, so that links to different sources can live side by side.
    explicit CPortCamera(std::shared_ptr<IDeviceResolver> resolver);
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

    // Any thread: the read in progress, and every later one until ResumeReads, fails at once.
    void CancelReads();
    // Lets reads wait for the device again; call when no read can be running.
    void ResumeReads();
    // Why the last failed ReadFrame failed, in the system's words ("Input/output error"), or
    // "no whole frame came" when the device gave no reason; any thread.
    std::string ReadFailure() const;
    // Why the device could not be opened ("camera busy: ..."); empty when it opened or no
    // reason is known.
    std::string OpenError() const;

    static int DeviceIndexForPort(int port);

  private:
    std::shared_ptr<IDeviceResolver> m_pResolver;  // null: the process's
    std::mutex m_ioMutex;                          // guards m_hDevice and the reads through it
    DeviceHandle m_hDevice = nullptr;
    CReadCancel m_cancel;
    mutable std::mutex m_errorMutex;  // guards m_strOpenError
    std::string m_strOpenError;
    std::atomic<std::int64_t> m_nLastReadNs{0};
    std::atomic<int> m_nReadErrno{0};  // errno of the last failed read; 0: none given
};
