#pragma once

#include <cstddef>
#include <cstdint>

// The scene as the lens projects it onto the picture plane, at the resolution of the
// zoomed Cartesian picture: 512 x 512 bytes per plane, row 0 at the top.
inline constexpr int kCanvasSize = 512;
inline constexpr std::size_t kCanvasPixels = std::size_t{kCanvasSize} * kCanvasSize;

enum CanvasPlane : int { kBluePlane = 0, kGreenPlane = 1, kRedPlane = 2 };

// A grey scene sets all three planes to the same bytes.
struct SceneCanvas {
    const std::uint8_t* plane[3] = {nullptr, nullptr, nullptr};
};

// Something the simulated camera looks at; frame is the number of the frame being taken
// (the scene's clock).
class IScene {
  public:
    virtual ~IScene() = default;
    virtual SceneCanvas Render(std::uint64_t frame) = 0;
};
