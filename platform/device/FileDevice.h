#pragma once

#include <memory>
#include <string>

#include "platform/device/DeviceFile.h"

// The camera driver's character device (or any file standing in for it), read with POSIX
// calls. A read waits for the device only until its limit's deadline or cancel. The device
// is held under an exclusive lock for as long as it is open.
class CFileDevice : public IDevice {
  public:
    // Null when the file cannot be opened for reading and writing, or another program holds
    // it; *error then says which (nothing for a file that does not exist).
    static std::unique_ptr<CFileDevice> Open(const std::string& path, std::string* error = nullptr);
    ~CFileDevice() override;

    bool Read(void* buffer, std::size_t size, std::size_t* delivered,
              const ReadLimit& limit) override;

  private:
    explicit CFileDevice(int fd) : m_nFd(fd) {}

    int m_nFd;
};

// Resolves device N to <directory>/lptsimple<N>. The directory is /dev unless the
// environment variable PANDRY_DEVICE_DIR names another (tests point it at a scratch one).
class CFileDeviceResolver : public IDeviceResolver {
  public:
    CFileDeviceResolver();
    explicit CFileDeviceResolver(std::string directory);

    std::unique_ptr<IDevice> OpenDevice(int index, std::string* error) override;

    std::string DevicePath(int index) const;

  private:
    std::string m_strDirectory;
};

// The directory device files are looked up in, by the rule above.
std::string DefaultDeviceDirectory();
