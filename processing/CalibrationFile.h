#pragma once

#include <cstdint>

// The stored dark image: kFrameBytes little-endian signed 32-bit values, no header.

// Reads up to kFrameBytes values into pCalibration (the rest stay as they are); false
// when the file cannot be opened.
bool LoadCalibrationFile(const char* path, std::int32_t* pCalibration);
// Replaces the file whole, or leaves the previous one untouched and returns false.
bool StoreCalibrationFile(const char* path, const std::int32_t* pCalibration);
