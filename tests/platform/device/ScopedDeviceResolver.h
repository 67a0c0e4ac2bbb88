#pragma once

#include <memory>

#include "platform/device/DeviceFile.h"

// Installs a device resolver for one scope and puts the previous one back however the
// scope ends, an ASSERT that returns early included.
class CScopedDeviceResolver {
  public:
    explicit CScopedDeviceResolver(std::shared_ptr<IDeviceResolver> resolver)
        : m_pPrevious(SetDeviceResolver(std::move(resolver))) {}
    CScopedDeviceResolver(const CScopedDeviceResolver&) = delete;
    CScopedDeviceResolver& operator=(const CScopedDeviceResolver&) = delete;
    ~CScopedDeviceResolver() { SetDeviceResolver(m_pPrevious); }

  private:
    std::shared_ptr<IDeviceResolver> m_pPrevious;
};
