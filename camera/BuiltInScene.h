#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "camera/SceneCanvas.h"

// The scene the simulated camera looks at when no picture is given: a turning star in the
// middle (finer and finer spokes towards the centre, for the fovea), a scrolling band of
// text-like blocks and bars of every width around it, and a ball circling over both, so
// that a glance shows the picture is live. Grey, or in colour for the mosaic sensor.
class CBuiltInScene : public IScene {
  public:
    explicit CBuiltInScene(bool color);

    SceneCanvas Render(std::uint64_t frame) override;

  private:
    static constexpr int kPaletteSize = 16;

    void PaintBand();
    void PaintBall(std::uint64_t frame);

    bool m_bColor;
    std::vector<std::uint16_t> m_angle;  // per pixel, 4096 steps a turn; kOutsideStar beyond it
    std::vector<std::uint8_t> m_band;    // the surround, palette indices, wraps horizontally
    std::vector<std::uint8_t> m_index;   // the frame being painted, palette indices
    std::array<std::vector<std::uint8_t>, 3> m_planes;
    std::array<std::array<std::uint8_t, kPaletteSize>, 3> m_palette{};
    std::array<std::uint8_t, 4096> m_star{};
};
