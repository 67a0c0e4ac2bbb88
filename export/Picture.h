#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One processed frame as the viewer shows it, in two layouts: top row first in RGB order
// (what every file format but ours wants) and bottom row first in BGR order (the processor's
// own, which the BMP file holds as it is).
struct Picture {
    int width = 0;
    int height = 0;
    bool grey = false;              // every pixel has equal red, green and blue
    std::vector<std::uint8_t> rgb;  // width * height * 3, top row first
    // width * height * 3, bottom row first; empty when only rgb was made (BgrBottomUp).
    std::vector<std::uint8_t> bgrFlipped;

    // One byte per pixel, top row first (meaningful when grey).
    std::vector<std::uint8_t> GreyPlane() const;
    // bgrFlipped, or when that is empty the same bytes made from rgb.
    std::vector<std::uint8_t> BgrBottomUp() const;
};

// Settings and position of the frame a picture came from, stored as text in the formats
// that can hold it.
struct PictureText {
    std::string settings;      // "sensor=mono size=256 view=remapped offset=80 gain=3 ..."
    std::string history;       // "recording_start=... recording_end=complete ...": RunHistory
    std::uint64_t frame = 0;   // the recorded frame index, not the position in the file
    std::int64_t timeUs = -1;  // microseconds since the recording's start; -1: unknown

    std::string Describe() const;
};
