#pragma once

#include <cstdint>
#include <string>

// Which values a picture holds: what the viewer shows (gain table, fovea fill, colour
// reconstruction, display stretch), the corrected levels (dark image, flat, offset and gain
// only), the sensor's own bytes, or the flat-corrected levels ((raw - dark) x mean(flat) /
// flat, without offset or gain; a flat image is needed). All but the first are one 8-bit
// channel per sample.
enum class SampleValues { kShown, kCorrected, kRaw, kFlat };
inline constexpr SampleValues kAllSampleValues[] = {SampleValues::kShown, SampleValues::kCorrected,
                                                    SampleValues::kRaw, SampleValues::kFlat};

// "shown", "corrected", "raw" or "flat"; false with *error naming the accepted words otherwise.
bool ParseSampleValues(const std::string& text, SampleValues* values, std::string* error);
const char* SampleValuesName(SampleValues values);

// The picture of a sample grid (kFrameBytes, sector-major, not yet fovea-filled) as the
// remapped picture shows it: the fovea filled as the processor fills it, then each pixel of
// the size x size picture (top row first) takes its sample's value through the remap table,
// 0 outside the disc. size is 256 or 512.
void RemapSampleGrid(const std::uint8_t* pGrid, int size, std::uint8_t* pPicture);
