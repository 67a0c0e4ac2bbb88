#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/Picture.h"

// A YUV4MPEG2 stream: grey pictures as "Cmono" (the luma is the picture), colour ones as
// full-range 4:4:4 (BT.601 weights), which ffmpeg and other tools read.
class CY4mEncoder {
  public:
    // framesPerSecond is written as a fraction of thousandths.
    std::string Header(int width, int height, bool grey, double framesPerSecond) const;
    // "FRAME\n" and the planes of one picture.
    const std::vector<std::uint8_t>& Frame(const Picture& picture);

  private:
    std::vector<std::uint8_t> m_frame;
};
