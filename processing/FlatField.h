#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/files/FileResult.h"
#include "processing/GainTable.h"
#include "sensor/LogPolarFrame.h"

// The flat image: how many levels above its dark level each raw sample gave, averaged over
// frames of an evenly lit field. Stored as a 16-byte header ("PANDRYFL", the format's version
// 1 and the number of frames averaged, both unsigned 32-bit little-endian) and then
// kFrameBytes little-endian 32-bit floats in the frame's order.
struct FlatImage {
    std::vector<float> levels = std::vector<float>(kFrameBytes, 0.0f);
    std::uint32_t frames = 0;
};

inline constexpr std::size_t kFlatHeaderBytes = 16;
inline constexpr std::size_t kFlatFileBytes = kFlatHeaderBytes + kFrameBytes * 4;

// Reads a whole flat image; anything but a regular file of kFlatFileBytes with the header of
// version 1 and finite levels is refused, naming the file and the reason.
FileResult LoadFlatFile(const std::string& path, FlatImage* flat);
// Replaces the file whole, or leaves the previous one untouched.
FileResult StoreFlatFile(const std::string& path, const FlatImage& flat);

// The flat of frames summed sample by sample: sum / frames - dark (dark may be null: none).
FlatImage FlatFromSums(const std::vector<std::uint32_t>& sums, std::uint32_t frames,
                       const std::int32_t* pDark);

// Frames of an evenly lit field summed sample by sample, for the flat image made of them.
class CFlatSums {
  public:
    void Add(const std::uint8_t* pFrame);
    std::uint32_t Frames() const { return m_nFrames; }
    FlatImage Flat(const std::int32_t* pDark) const {
        return FlatFromSums(m_sums, m_nFrames, pDark);
    }

  private:
    std::vector<std::uint32_t> m_sums = std::vector<std::uint32_t>(kFrameBytes, 0);
    std::uint32_t m_nFrames = 0;
};

// "flat image of 16 frames: 24.1 levels above dark on average, spread 9.8 %, 0 samples
// without light": what an operator checks before trusting it.
std::string DescribeFlat(const FlatImage& flat);

// Each sample's factor mean / flat in 1/65536 (kFlatFactorOne is 1), mean being the mean flat
// of the physical samples whose flat is above 0. A sample whose flat is 0 or below (no light
// measured, or a position without a pixel) keeps factor 1, so it is corrected by the dark
// image alone; a factor above kMostFlatFactor (a flat under 1/64 of the mean) is held there.
inline constexpr std::int32_t kFlatFactorOne = 1 << 16;
inline constexpr std::int32_t kMostFlatFactor = 64 * kFlatFactorOne;
std::vector<std::int32_t> FlatFactors(const FlatImage& flat);
// The mean those factors divide by; 0 when no physical sample has a flat above 0.
double FlatMean(const FlatImage& flat);

// Correct with the flat: for every sample, v = (raw - dark) x factor / 65536 rounded to the
// nearest level (halves up), then v + offset clamped to 0..255 through the gain table. One
// pass over the frame.
void CorrectWithFlat(const GainTable& table, std::uint8_t* pDestination, const std::uint8_t* pRaw,
                     const std::int32_t* pCalibration, const std::int32_t* pFactors, int offset);
// The flat-corrected levels themselves: the same v, clamped to 0..255, without offset or gain.
void FlatCorrectedLevels(std::uint8_t* pDestination, const std::uint8_t* pRaw,
                         const std::int32_t* pCalibration, const std::int32_t* pFactors);
