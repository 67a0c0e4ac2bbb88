#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "sidecar/RecordingMetadata.h"

// A fixed ring of whole frames between one producer (the acquisition thread) and one
// consumer (the writer thread). Neither side ever blocks the other: a full ring refuses
// the frame, and the consumer waits on an atomic the producer bumps.
class CFrameRing {
  public:
    explicit CFrameRing(std::size_t capacity);

    // Producer: copies the frame in; false (nothing copied) when the ring is full.
    bool TryPush(const std::uint8_t* pFrame, const RecordedFrame& info);
    // Consumer: the oldest frame, or null when the ring is empty. Release it when done.
    const std::uint8_t* Front(RecordedFrame* info) const;
    void PopFront();
    // Consumer: sleeps until a frame arrives or Wake is called after WakeCount gave
    // seenWakes. Taking the count before looking at the ring and at whatever Wake announces
    // keeps a Wake in between from being lost.
    std::uint32_t WakeCount() const;
    void WaitForFrames(std::uint32_t seenWakes) const;
    // Producer: sleeps until the ring has room (the consumer takes a frame).
    void WaitForRoom() const;
    void Wake();

  private:
    std::size_t m_nCapacity;
    std::unique_ptr<std::uint8_t[]> m_pFrames;
    std::unique_ptr<RecordedFrame[]> m_pInfo;
    // Head is written by the consumer only, tail by the producer only; each publishes the
    // slots it hands over with release order.
    std::atomic<std::uint64_t> m_nHead{0};
    std::atomic<std::uint64_t> m_nTail{0};
    std::atomic<std::uint32_t> m_nSignal{0};
};
