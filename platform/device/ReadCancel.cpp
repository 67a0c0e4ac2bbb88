#include "platform/device/ReadCancel.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

CReadCancel::CReadCancel() : m_nEventFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CReadCancel::~CReadCancel() {
    if (m_nEventFd >= 0) {
        ::close(m_nEventFd);
    }
}

void CReadCancel::Cancel() {
    {
        std::lock_guard lock(m_mutex);
        if (m_bCancelled) {
            return;
        }
        m_bCancelled = true;
    }
    m_wake.notify_all();
    if (m_nEventFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t ignored = ::write(m_nEventFd, &one, sizeof one);
    }
}

void CReadCancel::Reset() {
    std::lock_guard lock(m_mutex);
    m_bCancelled = false;
    if (m_nEventFd >= 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] ssize_t ignored = ::read(m_nEventFd, &count, sizeof count);
    }
}

bool CReadCancel::IsCancelled() const {
    std::lock_guard lock(m_mutex);
    return m_bCancelled;
}

bool CReadCancel::WaitUntil(std::chrono::steady_clock::time_point until) {
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_until(lock, until, [this] { return m_bCancelled; });
}
