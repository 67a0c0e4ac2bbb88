#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/Picture.h"

// A Matroska stream of uncompressed pictures, each at its own time: how frames reach ffmpeg
// with the recorded timing (a YUV4MPEG2 stream knows one rate only). Grey pictures go as
// 8-bit luma ("Y800"), colour ones as 24-bit RGB, so nothing is lost on the way. Written for
// a pipe: the segment is of unknown size; each picture is a cluster of its own.
class CMatroskaRawStream {
  public:
    // The EBML header, segment start, timing scale (microseconds) and the one video track.
    std::string Header(int width, int height, bool grey) const;
    // One picture shown at timeUs microseconds from the start of the stream.
    const std::vector<std::uint8_t>& Frame(const Picture& picture, std::int64_t timeUs);

  private:
    std::vector<std::uint8_t> m_cluster;
};
