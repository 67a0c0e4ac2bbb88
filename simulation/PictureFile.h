#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/files/FileResult.h"

// A picture a source shows the sensor: blue, green, red bytes per pixel, rows top first and
// `stride` bytes apart.
struct BgrPicture {
    int width = 0;
    int height = 0;
    std::size_t stride = 0;
    std::vector<std::uint8_t> bgr;
};

// The largest width or height accepted: a larger one would take gigabytes to decode.
constexpr int kMaxPictureSide = 8192;

// A picture file (PNG, JPEG, BMP, GIF, ...) decoded whole, rows width * 3 bytes apart.
// Fails when the file cannot be read or decoded, is not a regular file, or is larger than
// kMaxPictureSide either way (told from its header, before a pixel is decoded).
FileResult DecodePictureFile(const std::string& path, BgrPicture* picture);
