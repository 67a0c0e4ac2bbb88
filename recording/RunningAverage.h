#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The viewer's running average: each picture shown becomes the mean of the last N pictures,
// byte by byte, rounded to the nearest level (halves up). A new picture costs a pass for the
// sums (the oldest leaves, the newest comes) and one for the mean; until N have come, the
// mean is of those there are.
class CRunningAverage {
  public:
    static constexpr std::size_t kLongest = 100;

    // Averages over n pictures (1..kLongest; 1 leaves pictures alone) and starts over.
    void SetLength(std::size_t n);
    std::size_t Length() const { return m_nLength; }
    // Forgets the pictures so far: the next one is shown as it is.
    void Restart();
    // Takes the picture's size bytes in and writes the mean over them. A size other than the
    // last one starts over (the view changed).
    void Apply(std::uint8_t* pPicture, std::size_t size);

  private:
    std::size_t m_nLength = 1;
    std::size_t m_nSize = 0;
    std::vector<std::uint8_t> m_ring;   // the last m_nLength pictures, m_nSize bytes each
    std::vector<std::uint32_t> m_sums;  // their sums, byte by byte
    std::size_t m_nNext = 0;            // the ring's slot the next picture takes
    std::size_t m_nCount = 0;           // pictures in the ring
};
