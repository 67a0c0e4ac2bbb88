#include "camera/FrameFeed.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/device/DeviceFile.h"
#include "sensor/LogPolarFrame.h"

// Answers the probe, then delivers whatever frame it was last given, once.
class CFeedDevice : public IDevice {
  public:
    bool Read(void* buffer, std::size_t size, std::size_t* delivered) override {
        *delivered = 0;
        if (size == 2 && m_nPosition == 0 && m_pFrame == nullptr) {
            std::memset(buffer, 0, size);
            *delivered = 2;  // the count of a camera that answers
            return true;
        }
        if (m_pFrame == nullptr) {
            return false;
        }
        const std::size_t count = std::min(size, kFrameBytes - m_nPosition);
        std::memcpy(buffer, m_pFrame + m_nPosition, count);
        m_nPosition += count;
        if (m_nPosition == kFrameBytes) {
            m_pFrame = nullptr;
            m_nPosition = 0;
        }
        *delivered = count;
        return true;
    }

    void Next(const std::uint8_t* pFrame) {
        m_pFrame = pFrame;
        m_nPosition = 0;
    }

  private:
    const std::uint8_t* m_pFrame = nullptr;
    std::size_t m_nPosition = 0;
};

namespace {

class CFeedResolver : public IDeviceResolver {
  public:
    std::unique_ptr<IDevice> OpenDevice(int) override {
        auto device = std::make_unique<CFeedDevice>();
        m_pOpened = device.get();
        return device;
    }
    CFeedDevice* m_pOpened = nullptr;
};

// Serialises the brief swap of the process-wide resolver while a feed opens its link.
std::mutex g_feedOpenMutex;

}  // namespace

CFrameFeed::CFrameFeed() {
    std::lock_guard lock(g_feedOpenMutex);
    auto resolver = std::make_shared<CFeedResolver>();
    std::shared_ptr<IDeviceResolver> previous = SetDeviceResolver(resolver);
    m_camera.Open(1);
    SetDeviceResolver(previous);
    m_pDevice = resolver->m_pOpened;
}

void CFrameFeed::Next(const std::uint8_t* pFrame) {
    m_pDevice->Next(pFrame);
}
