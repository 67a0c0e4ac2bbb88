#include "platform/device/ScriptedDevice.h"

#include <algorithm>
#include <cstring>

#include "sensor/LogPolarFrame.h"

namespace {

bool Reached(std::int64_t limit, std::int64_t frames) {
    return limit >= 0 && frames >= limit;
}

}  // namespace

CScriptedDevice::CScriptedDevice(std::unique_ptr<IFrameSource> source, DeviceFaults faults)
    : m_pSource(std::move(source)), m_faults(faults), m_frame(kFrameBytes) {}

bool CScriptedDevice::Read(void* buffer, std::size_t size, std::size_t* delivered,
                           const ReadLimit& limit) {
    *delivered = 0;
    if (size == kProbeBytes && !m_bFrameLoaded) {
        std::memset(buffer, 0, kProbeBytes);
        *delivered = m_faults.probeCount;
        return true;
    }
    if (Reached(m_faults.failAfterFrames, m_nFramesDelivered)) {
        return false;
    }
    if (Reached(m_faults.stallAfterFrames, m_nFramesDelivered)) {
        limit.SleepUntil(limit.deadline);
        return false;
    }
    if (!m_bFrameLoaded) {
        if (!WaitForFrameTime(limit)) {
            return false;
        }
        if (!StartFrame()) {
            return true;  // ended: nothing delivered
        }
    }
    std::size_t count = std::min(size, kFrameBytes - m_nFramePosition);
    if (m_faults.chunkBytes > 0) {
        count = std::min(count, m_faults.chunkBytes);
    }
    std::memcpy(buffer, m_frame.data() + m_nFramePosition, count);
    m_nFramePosition += count;
    if (m_nFramePosition == kFrameBytes) {
        m_bFrameLoaded = false;
        m_nFramePosition = 0;
        ++m_nFramesDelivered;
    }
    *delivered = count;
    return true;
}

bool CScriptedDevice::StartFrame() {
    if (m_bEnded) {
        return false;
    }
    if (!m_pSource->NextFrame(m_frame.data())) {
        m_bEnded = true;
        return false;
    }
    ++m_nFramesStarted;
    if (m_faults.corruptEvery > 0 && m_nFramesStarted % m_faults.corruptEvery == 0) {
        Corrupt();
    }
    m_bFrameLoaded = true;
    m_nFramePosition = 0;
    return true;
}

// The pace is the camera's, not a stall: it may outlast the deadline, but not a cancel.
bool CScriptedDevice::WaitForFrameTime(const ReadLimit& limit) {
    if (m_faults.framesPerSecond <= 0 || m_bEnded) {
        return true;
    }
    using Clock = std::chrono::steady_clock;
    auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.0 / m_faults.framesPerSecond));
    auto now = Clock::now();
    // A reader that fell behind by more than a frame starts a fresh beat instead of
    // receiving a burst of frames.
    if (m_nextFrameTime < now - period) {
        m_nextFrameTime = now;
    }
    if (!limit.SleepUntil(m_nextFrameTime)) {
        return false;
    }
    m_nextFrameTime += period;
    return true;
}

// A glitch such as a lost sync gives: a band of sectors filled with noise.
void CScriptedDevice::Corrupt() {
    auto next = [this] {
        m_nCorruptSeed ^= m_nCorruptSeed << 13;
        m_nCorruptSeed ^= m_nCorruptSeed >> 17;
        m_nCorruptSeed ^= m_nCorruptSeed << 5;
        return m_nCorruptSeed;
    };
    std::size_t bandSectors = kSectors / 8;
    std::size_t first = next() % (kSectors - bandSectors);
    for (std::size_t i = first * kRings; i < (first + bandSectors) * kRings; ++i) {
        m_frame[i] = static_cast<std::uint8_t>(next());
    }
}
