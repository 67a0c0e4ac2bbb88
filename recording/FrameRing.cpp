#include "recording/FrameRing.h"

#include <cstring>

#include "sensor/LogPolarFrame.h"

CFrameRing::CFrameRing(std::size_t capacity)
    : m_nCapacity(capacity == 0 ? 1 : capacity),
      m_pFrames(new std::uint8_t[m_nCapacity * kFrameBytes]),
      m_pInfo(new RecordedFrame[m_nCapacity]) {}

bool CFrameRing::TryPush(const std::uint8_t* pFrame, const RecordedFrame& info) {
    const std::uint64_t tail = m_nTail.load(std::memory_order_relaxed);
    if (tail - m_nHead.load(std::memory_order_acquire) == m_nCapacity) {
        return false;
    }
    const std::size_t slot = tail % m_nCapacity;
    std::memcpy(m_pFrames.get() + slot * kFrameBytes, pFrame, kFrameBytes);
    m_pInfo[slot] = info;
    m_nTail.store(tail + 1, std::memory_order_release);
    Wake();
    return true;
}

const std::uint8_t* CFrameRing::Front(RecordedFrame* info) const {
    const std::uint64_t head = m_nHead.load(std::memory_order_relaxed);
    if (head == m_nTail.load(std::memory_order_acquire)) {
        return nullptr;
    }
    const std::size_t slot = head % m_nCapacity;
    *info = m_pInfo[slot];
    return m_pFrames.get() + slot * kFrameBytes;
}

void CFrameRing::PopFront() {
    m_nHead.store(m_nHead.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    m_nHead.notify_one();
}

std::uint32_t CFrameRing::WakeCount() const {
    return m_nSignal.load(std::memory_order_acquire);
}

void CFrameRing::WaitForFrames(std::uint32_t seenWakes) const {
    if (m_nHead.load(std::memory_order_relaxed) != m_nTail.load(std::memory_order_acquire)) {
        return;
    }
    m_nSignal.wait(seenWakes, std::memory_order_acquire);
}

void CFrameRing::WaitForRoom() const {
    const std::uint64_t head = m_nHead.load(std::memory_order_acquire);
    if (m_nTail.load(std::memory_order_relaxed) - head < m_nCapacity) {
        return;
    }
    m_nHead.wait(head, std::memory_order_acquire);
}

void CFrameRing::Wake() {
    m_nSignal.fetch_add(1, std::memory_order_release);
    m_nSignal.notify_one();
}
