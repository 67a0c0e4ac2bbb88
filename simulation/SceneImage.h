#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "simulation/PictureFile.h"

// A picture file scaled once to cover the picture plane, with a margin on every side for
// the scene to drift in: blue, green and red planes of Side() x Side() bytes.
class CSceneImage {
  public:
    static constexpr int kDriftMargin = 24;

    // The picture scaled to cover the square: the shorter side fills it, the longer one is
    // cropped evenly.
    static std::shared_ptr<const CSceneImage> Covering(const DecodedPicture& decoded);

    static constexpr int Side() { return 512 + 2 * kDriftMargin; }
    const std::uint8_t* Plane(int plane) const { return m_planes[std::size_t(plane)].data(); }

  private:
    std::array<std::vector<std::uint8_t>, 3> m_planes;
};
