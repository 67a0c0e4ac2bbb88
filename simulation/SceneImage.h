#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A picture file scaled once to cover the picture plane, with a margin on every side for
// the scene to drift in: blue, green and red planes of Side() x Side() bytes.
class CSceneImage {
  public:
    static constexpr int kDriftMargin = 24;

    // Null, with a reason in *error, when the file cannot be decoded (DecodePictureFile).
    static std::shared_ptr<const CSceneImage> Load(const std::string& path, std::string* error);

    static constexpr int Side() { return 512 + 2 * kDriftMargin; }
    const std::uint8_t* Plane(int plane) const { return m_planes[std::size_t(plane)].data(); }

  private:
    std::array<std::vector<std::uint8_t>, 3> m_planes;
};
