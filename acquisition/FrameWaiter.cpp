#include "acquisition/FrameWaiter.h"

#include <cstring>

#include "processing/FrameProcessor.h"

CFrameWaiter::Wait CFrameWaiter::NextFrame(std::uint64_t after,
                                           std::chrono::steady_clock::time_point deadline,
                                           std::vector<std::uint8_t>* pFrame,
                                           AcquiredFrame* pInfo) {
    pFrame->resize(kFrameBytes);
    return NextFrame(after, deadline, pFrame->data(), pInfo);
}

CFrameWaiter::Wait CFrameWaiter::NextFrame(std::uint64_t after,
                                           std::chrono::steady_clock::time_point deadline,
                                           std::uint8_t* pFrame, AcquiredFrame* pInfo) {
    std::unique_lock lock(m_mutex);
    const auto newer = [&] { return m_bHasFrame && (after == kNone || m_info.index > after); };
    m_arrived.wait_until(lock, deadline, [&] { return newer() || m_bEnded; });
    if (!newer()) {
        return m_bEnded ? Wait::kEnded : Wait::kTimedOut;
    }
    std::memcpy(pFrame, m_frame.data(), kFrameBytes);
    *pInfo = m_info;
    m_bTaken = true;
    return Wait::kFrame;
}

std::uint64_t CFrameWaiter::Missed() const {
    std::lock_guard lock(m_mutex);
    return m_nMissed;
}

void CFrameWaiter::Rearm() {
    std::lock_guard lock(m_mutex);
    m_bEnded = m_bFailed = false;
}

bool CFrameWaiter::RunFailed() const {
    std::lock_guard lock(m_mutex);
    return m_bFailed;
}

void CFrameWaiter::TakeFrame(const AcquiredFrame& frame, CFrameProcessor& processor) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_bTaken) {
            ++m_nMissed;
        }
        std::memcpy(m_frame.data(), processor.RawFrame(), kFrameBytes);
        m_info = frame;
        m_bHasFrame = true;
        m_bTaken = false;
    }
    m_arrived.notify_all();
}

void CFrameWaiter::RunEnded(bool failed) {
    {
        std::lock_guard lock(m_mutex);
        m_bEnded = true;
        m_bFailed = failed;
    }
    m_arrived.notify_all();
}
