#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/device/DeviceFaults.h"
#include "platform/device/DeviceFile.h"
#include "platform/device/FrameSource.h"

using FrameBytes = std::vector<std::uint8_t>;  // kFrameBytes each

// Hands out a fixed list of frames in order, once or round and round.
class CMemoryFrameSource : public IFrameSource {
  public:
    CMemoryFrameSource(std::vector<FrameBytes> frames, bool loop);

    bool NextFrame(std::uint8_t* pFrame) override;

  private:
    std::vector<FrameBytes> m_frames;
    bool m_bLoop;
    std::size_t m_nNext = 0;
};

// What one in-memory device does when opened.
struct MemoryDeviceScript {
    std::vector<FrameBytes> frames;
    bool loop = true;
    DeviceFaults faults;
};

// A resolver for tests: the devices it has scripts for open as in-memory devices that
// deliver the scripted frames; every other number fails to open. It counts the opens.
class CMemoryDeviceResolver : public IDeviceResolver {
  public:
    void SetDevice(int index, MemoryDeviceScript script);
    std::unique_ptr<IDevice> OpenDevice(int index, std::string* error) override;

    int OpenCount(int index) const;
    int TotalOpenCount() const;

  private:
    mutable std::mutex m_mutex;  // guards m_scripts and m_openCounts
    std::map<int, MemoryDeviceScript> m_scripts;
    std::map<int, int> m_openCounts;
};

// A frame of one repeated sample value, and one whose sample i is (i * step + start) mod 256.
FrameBytes UniformFrame(std::uint8_t value);
FrameBytes PatternFrame(std::uint8_t start, std::uint8_t step = 1);
