#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "simulation/SceneCanvas.h"
#include "simulation/StarPaint.h"

// The scene the simulated camera looks at when no picture is given: a turning star in the
// middle (finer and finer spokes towards the centre, for the fovea), a scrolling band of
// text-like blocks and bars of every width around it, and a ball circling over both, so
// that a glance shows the picture is live. Grey, or in colour for the mosaic sensor.
class CBuiltInScene : public IScene {
  public:
    explicit CBuiltInScene(bool color);

    SceneCanvas Render(std::uint64_t frame) override;

  private:
    void PaintBall(std::uint64_t frame, int plane);

    bool m_bColor;
    std::vector<std::uint16_t> m_angle;           // per pixel inside the star, 4096 a turn
    std::vector<std::pair<int, int>> m_starSpan;  // per row: the star's columns [first, last)
    std::array<std::vector<std::uint8_t>, 3> m_bandPlanes;  // the surround, wraps horizontally
    std::array<SegmentPaints, 3> m_segmentPaints{};
    std::array<std::array<std::uint8_t, 2>, 3> m_ballPaint{};
    std::array<std::vector<std::uint8_t>, 3> m_planes;  // the canvas
};
