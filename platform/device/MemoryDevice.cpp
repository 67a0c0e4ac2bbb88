#include "platform/device/MemoryDevice.h"

#include <algorithm>
#include <cstring>

#include "platform/device/ScriptedDevice.h"
#include "sensor/LogPolarFrame.h"

CMemoryFrameSource::CMemoryFrameSource(std::vector<FrameBytes> frames, bool loop)
    : m_frames(std::move(frames)), m_bLoop(loop) {}

bool CMemoryFrameSource::NextFrame(std::uint8_t* pFrame) {
    if (m_nNext == m_frames.size()) {
        if (!m_bLoop || m_frames.empty()) {
            return false;
        }
        m_nNext = 0;
    }
    const FrameBytes& frame = m_frames[m_nNext++];
    std::memset(pFrame, 0, kFrameBytes);
    std::memcpy(pFrame, frame.data(), std::min(frame.size(), kFrameBytes));
    return true;
}

void CMemoryDeviceResolver::SetDevice(int index, MemoryDeviceScript script) {
    std::lock_guard lock(m_mutex);
    m_scripts[index] = std::move(script);
}

std::unique_ptr<IDevice> CMemoryDeviceResolver::OpenDevice(int index) {
    std::lock_guard lock(m_mutex);
    ++m_openCounts[index];
    auto found = m_scripts.find(index);
    if (found == m_scripts.end()) {
        return nullptr;
    }
    const MemoryDeviceScript& script = found->second;
    return std::make_unique<CScriptedDevice>(
        std::make_unique<CMemoryFrameSource>(script.frames, script.loop), script.faults);
}

int CMemoryDeviceResolver::OpenCount(int index) const {
    std::lock_guard lock(m_mutex);
    auto found = m_openCounts.find(index);
    return found == m_openCounts.end() ? 0 : found->second;
}

int CMemoryDeviceResolver::TotalOpenCount() const {
    std::lock_guard lock(m_mutex);
    int total = 0;
    for (const auto& [index, count] : m_openCounts) {
        total += count;
    }
    return total;
}

FrameBytes UniformFrame(std::uint8_t value) {
    return FrameBytes(kFrameBytes, value);
}

FrameBytes PatternFrame(std::uint8_t start, std::uint8_t step) {
    FrameBytes frame(kFrameBytes);
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        frame[i] = static_cast<std::uint8_t>(start + i * step);
    }
    return frame;
}
