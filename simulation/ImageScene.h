#pragma once

#include <array>
#include <memory>
#include <vector>

#include "simulation/SceneCanvas.h"
#include "simulation/SceneImage.h"

// The simulated camera looking at a picture: held still, or drifting slowly within the
// picture's margin as a hand-held camera would. Grey (the luminance) or in colour.
class CImageScene : public IScene {
  public:
    CImageScene(std::shared_ptr<const CSceneImage> picture, bool color, bool drift);

    SceneCanvas Render(std::uint64_t frame) override;

  private:
    std::shared_ptr<const CSceneImage> m_pPicture;
    bool m_bColor;
    bool m_bDrift;
    std::array<std::vector<std::uint8_t>, 3> m_source;  // Side() x Side(): grey or colour
    std::array<std::vector<std::uint8_t>, 3> m_planes;  // the canvas
};
