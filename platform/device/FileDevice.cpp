#include "platform/device/FileDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "platform/device/DeviceTimeout.h"

std::unique_ptr<CFileDevice> CFileDevice::Open(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return nullptr;
    }
    return std::unique_ptr<CFileDevice>(new CFileDevice(fd));
}

CFileDevice::~CFileDevice() {
    ::close(m_nFd);
}

bool CFileDevice::Read(void* buffer, std::size_t size, std::size_t* delivered) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + DeviceReadTimeout();
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() < 0) {
            return false;
        }
        pollfd request{m_nFd, POLLIN, 0};
        int ready = ::poll(&request, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        // POLLHUP without POLLIN: the other end is gone and nothing is left to read.
        if ((request.revents & POLLIN) == 0) {
            if (request.revents & POLLHUP) {
                *delivered = 0;
                return true;
            }
            return false;
        }
        ssize_t count = ::read(m_nFd, buffer, size);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return false;
        }
        *delivered = static_cast<std::size_t>(count);
        return true;
    }
}

std::string DefaultDeviceDirectory() {
    const char* directory = std::getenv("PANDRY_DEVICE_DIR");
    return directory && *directory ? directory : "/dev";
}

CFileDeviceResolver::CFileDeviceResolver() : m_strDirectory(DefaultDeviceDirectory()) {}

CFileDeviceResolver::CFileDeviceResolver(std::string directory)
    : m_strDirectory(std::move(directory)) {}

std::string CFileDeviceResolver::DevicePath(int index) const {
    return m_strDirectory + "/lptsimple" + std::to_string(index);
}

std::unique_ptr<IDevice> CFileDeviceResolver::OpenDevice(int index) {
    return CFileDevice::Open(DevicePath(index));
}
