#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "viewer/SensorSnapshot.h"
#include "viewer/ViewerTypes.h"

// Passes finished pictures from the acquisition thread to the painting thread without
// either waiting for the other: the producer fills a buffer of its own, swaps it in under a
// short lock, and learns whether the consumer needs waking; the consumer swaps the newest
// one out when it paints. Three buffers, so nobody ever reads one being written.
//
// The producer runs far faster than the screen, so the consumer says when it wants the
// next picture: a picture nobody wants is never copied.
class CFrameHandover {
  public:
    struct ScreenPicture {
        std::vector<std::uint8_t> pixels;  // bottom-up rows, blue-green-red, as given
        int width = 0;
        int height = 0;
        ViewerRect destination;
        bool bValid = false;
        SensorSnapshot sensor;  // the frame behind the picture, when the producer staged one
    };

    // Producer: copies what the sensor gave for the next picture published.
    void StageSensor(const SensorFrame& sensor);
    // Producer: whether the consumer is ready for a new picture.
    bool IsWanted() const { return m_bWanted.load(); }
    // Producer: copies a bottom-up picture in, as it is (one copy; the painter turns it).
    // True when the consumer has no wake-up pending and must be sent one. A picture made
    // from a generation older than the last Clear is dropped, so a clear wins over a
    // publication under way.
    bool Publish(const std::uint8_t* pBottomUp, int width, int height,
                 const ViewerRect& destination, std::uint64_t generation);
    bool Publish(const std::uint8_t* pBottomUp, int width, int height,
                 const ViewerRect& destination) {
        return Publish(pBottomUp, width, height, destination, Generation());
    }
    // Either thread: nothing is shown any more, and whatever was pending is dropped.
    // True when the consumer must be woken.
    bool Clear();
    // Producer: read before deciding to make a picture, passed to Publish with it.
    std::uint64_t Generation() const { return m_nGeneration.load(); }

    // Consumer: the wake-up has arrived; a later Publish asks for a new one.
    void AcknowledgeWake() { m_bWakePending = false; }
    // Consumer: ready to show another picture.
    void WantNext() { m_bWanted = true; }
    // Consumer: makes the newest published picture current; false when nothing changed.
    bool TakeNewest();
    // Consumer only; valid until the next TakeNewest.
    const ScreenPicture& Current() const { return m_front; }

  private:
    bool RequestWake() { return !m_bWakePending.exchange(true); }

    ScreenPicture m_back;  // producer only
    std::mutex m_mutex;    // guards m_pending, m_bFresh and changes of m_nGeneration
    ScreenPicture m_pending;
    bool m_bFresh = false;
    std::atomic<std::uint64_t> m_nGeneration{0};  // Clears so far
    ScreenPicture m_front;                        // consumer only
    std::atomic<bool> m_bWakePending{false};
    std::atomic<bool> m_bWanted{true};
};
