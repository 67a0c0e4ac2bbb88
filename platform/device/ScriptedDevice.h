#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/device/DeviceFaults.h"
#include "platform/device/DeviceFile.h"
#include "platform/device/FrameSource.h"

// An in-process device: answers the probe, then hands out the frames of a source in whole
// frames or in chunks, paced and with the faults it was given.
//
// A read of 2 bytes while no frame is part-way delivered is the probe: it writes two zero
// bytes and reports faults.probeCount. The probe count changes nothing else.
class CScriptedDevice : public IDevice {
  public:
    CScriptedDevice(std::unique_ptr<IFrameSource> source, DeviceFaults faults);

    bool Read(void* buffer, std::size_t size, std::size_t* delivered,
              const ReadLimit& limit) override;

  private:
    bool StartFrame();
    bool WaitForFrameTime(const ReadLimit& limit);
    void Corrupt();

    std::unique_ptr<IFrameSource> m_pSource;
    DeviceFaults m_faults;
    std::vector<std::uint8_t> m_frame;
    std::size_t m_nFramePosition = 0;  // bytes of the current frame already delivered
    bool m_bFrameLoaded = false;
    bool m_bEnded = false;
    std::int64_t m_nFramesStarted = 0;
    std::int64_t m_nFramesDelivered = 0;
    std::uint32_t m_nCorruptSeed = 0x9E3779B9u;
    std::chrono::steady_clock::time_point m_nextFrameTime{};
};
