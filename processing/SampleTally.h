#pragma once

#include <cstddef>
#include <cstdint>

// The counts of a block of 8-bit samples, taken a few at a time so that the count can run
// inside another pass: its scattered increments are bound by the stores, and beside a pass
// bound by its loads the two overlap instead of following each other. Four interleaved
// tallies keep neighbouring equal samples from waiting on each other.
class CSampleTally {
  public:
    // count is a multiple of four.
    CSampleTally(const std::uint8_t* pSamples, std::size_t count)
        : m_cursor{pSamples, pSamples + count, m_tallies} {}

    // Where the count stands. A pass counting inside its own loop works on a copy held in
    // a local, whose place stays in a register (a tally's own would be stored back at every
    // step, as stores of bytes may change it), and hands it back with Resume.
    struct Cursor {
        const std::uint8_t* pNext;
        const std::uint8_t* pEnd;
        std::int32_t (*pTallies)[256];

        // The next quads groups of four samples, or as many as are left.
        void CountQuads(int quads) {
            for (int q = 0; q < quads && pNext != pEnd; ++q, pNext += 4) {
                ++pTallies[0][pNext[0]];
                ++pTallies[1][pNext[1]];
                ++pTallies[2][pNext[2]];
                ++pTallies[3][pNext[3]];
            }
        }
        std::size_t QuadsLeft() const { return std::size_t(pEnd - pNext) / 4; }
    };
    Cursor Position() const { return m_cursor; }
    void Resume(const Cursor& cursor) { m_cursor = cursor; }

    std::size_t QuadsLeft() const { return m_cursor.QuadsLeft(); }
    void CountRest() {
        Cursor cursor = m_cursor;
        cursor.CountQuads(int(cursor.QuadsLeft()));
        m_cursor = cursor;
    }

    // The counts so far, added into pCounts[0..255].
    void AddTo(std::int32_t* pCounts) const {
        for (std::size_t v = 0; v < 256; ++v) {
            pCounts[v] += m_tallies[0][v] + m_tallies[1][v] + m_tallies[2][v] + m_tallies[3][v];
        }
    }

  private:
    std::int32_t m_tallies[4][256] = {};
    Cursor m_cursor;
};
