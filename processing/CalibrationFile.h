#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sensor/LogPolarFrame.h"

// The stored dark image: kFrameBytes little-endian signed 32-bit values, no header.
inline constexpr std::size_t kCalibrationFileBytes = kFrameBytes * 4;

enum class CalibrationLoad {
    kLoaded,
    kMissing,  // no such file: the camera is simply not calibrated yet
    kRefused,  // a file is there but is no dark image; *error says why
};

// Reads the whole dark image into pCalibration. Anything but a regular file of exactly
// kCalibrationFileBytes is refused before a value is taken, leaving pCalibration as it was.
CalibrationLoad LoadCalibrationFile(const char* path, std::int32_t* pCalibration,
                                    std::string* error);
// Replaces the file whole, or leaves the previous one untouched and returns false with
// "cannot write PATH: reason" in *error.
bool StoreCalibrationFile(const char* path, const std::int32_t* pCalibration,
                          std::string* error = nullptr);
