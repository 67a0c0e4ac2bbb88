#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/files/FileResult.h"

// A picture file (PNG, JPEG, BMP, GIF, ...) decoded whole: red, green, blue bytes, rows top
// first, width * 3 bytes each.
struct DecodedPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// The largest width or height accepted: a larger one would take gigabytes to decode.
constexpr int kMaxPictureSide = 8192;

// Fails when the file cannot be read or decoded, is not a regular file, or is larger than
// kMaxPictureSide either way (told from its header, before a pixel is decoded).
FileResult DecodePictureFile(const std::string& path, DecodedPicture* picture);
