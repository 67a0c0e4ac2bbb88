#include "viewer/FrameHandover.h"

#include <cstring>
#include <utility>

#include "sensor/LogPolarFrame.h"

bool CFrameHandover::Publish(const std::uint8_t* pBottomUp, int width, int height,
                             const ViewerRect& destination, std::uint64_t generation) {
    const std::size_t bytes = std::size_t(width) * 3 * std::size_t(height);
    m_back.pixels.resize(bytes);  // same size frame after frame: no allocation
    std::memcpy(m_back.pixels.data(), pBottomUp, bytes);
    m_back.width = width;
    m_back.height = height;
    m_back.destination = destination;
    m_back.bValid = true;
    {
        std::lock_guard lock(m_mutex);
        if (generation != m_nGeneration.load()) {
            return false;  // cleared while this picture was being made
        }
        m_bWanted = false;  // before the swap, so a wish the consumer makes after it stands
        std::swap(m_back, m_pending);
        m_bFresh = true;
    }
    return RequestWake();
}

void CFrameHandover::StageSensor(const SensorFrame& sensor) {
    m_back.sensor.raw.assign(sensor.pRaw, sensor.pRaw + kFrameBytes);
    m_back.sensor.pDark = sensor.pDark;
    m_back.sensor.offset = sensor.offset;
    m_back.sensor.table = sensor.table;
    m_back.sensor.bColor = sensor.bColor;
}

bool CFrameHandover::Clear() {
    {
        std::lock_guard lock(m_mutex);
        m_pending.bValid = false;
        m_bFresh = true;
        ++m_nGeneration;
    }
    m_bWanted = true;  // the first picture after a clear shows at once
    return RequestWake();
}

bool CFrameHandover::TakeNewest() {
    std::lock_guard lock(m_mutex);
    if (!m_bFresh) {
        return false;
    }
    std::swap(m_front, m_pending);
    m_pending.bValid = false;  // the old front is only a buffer to reuse now
    m_bFresh = false;
    return true;
}
