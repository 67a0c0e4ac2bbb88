#include "platform/device/FileDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/device/ReadCancel.h"

std::unique_ptr<CFileDevice> CFileDevice::Open(const std::string& path, std::string* error) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (error != nullptr && errno != ENOENT) {
            *error = "cannot open " + path + ": " + std::strerror(errno);
        }
        return nullptr;
    }
    // Two readers of one camera would each get every other frame; the second is turned away.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int reason = errno;
        ::close(fd);
        if (error != nullptr) {
            *error = reason == EWOULDBLOCK
                         ? "camera busy: " + path + " is in use by another program"
                         : "cannot lock " + path + ": " + std::strerror(reason);
        }
        return nullptr;
    }
    return std::unique_ptr<CFileDevice>(new CFileDevice(fd));
}

CFileDevice::~CFileDevice() {
    ::close(m_nFd);
}

bool CFileDevice::Read(void* buffer, std::size_t size, std::size_t* delivered,
                       const ReadLimit& limit) {
    using Clock = ReadLimit::Clock;
    const int cancelFd = limit.pCancel != nullptr ? limit.pCancel->Fd() : -1;
    for (;;) {
        auto left =
            std::chrono::ceil<std::chrono::milliseconds>(limit.deadline - Clock::now()).count();
        if (left <= 0 || limit.IsCancelled()) {
            return false;
        }
        pollfd requests[2] = {{m_nFd, POLLIN, 0}, {cancelFd, POLLIN, 0}};
        int ready = ::poll(requests, cancelFd >= 0 ? 2 : 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0 || (requests[1].revents & POLLIN) != 0) {
            return false;
        }
        const short revents = requests[0].revents;
        // POLLHUP without POLLIN: the other end is gone and nothing is left to read.
        if ((revents & POLLIN) == 0) {
            if (revents & POLLHUP) {
                *delivered = 0;
                return true;
            }
            return false;
        }
        ssize_t count = ::read(m_nFd, buffer, size);
        if (count < 0 && (errno == EINTR || errno == EAGAIN)) {
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

std::unique_ptr<IDevice> CFileDeviceResolver::OpenDevice(int index, std::string* error) {
    return CFileDevice::Open(DevicePath(index), error);
}
