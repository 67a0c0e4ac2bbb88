#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/files/FileResult.h"
#include "sensor/LogPolarFrame.h"

// The stored dark image: kFrameBytes little-endian signed 32-bit values, no header.
inline constexpr std::size_t kCalibrationFileBytes = kFrameBytes * 4;

// Reads the whole dark image into pCalibration. Anything but a regular file of exactly
// kCalibrationFileBytes is refused before a value is taken, leaving pCalibration as it was.
// No file at all (the camera simply not calibrated yet) fails with Code() ENOENT, which
// CalibrationIsMissing tells from a file that is there but no dark image.
FileResult LoadCalibrationFile(const std::string& path, std::int32_t* pCalibration);
inline bool CalibrationIsMissing(const FileResult& loaded) {
    return loaded.Code() == ENOENT;
}
// The dark image of count frames: each sample's mean, rounded to the nearest level.
void AverageDarkFrames(const std::uint8_t* const* ppFrames, int count, std::int32_t* pDark);
// Replaces the file whole, or leaves the previous one untouched ("cannot write PATH:
// reason").
FileResult StoreCalibrationFile(const std::string& path, const std::int32_t* pCalibration);
