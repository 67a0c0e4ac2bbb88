#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "camera/SourceGaze.h"
#include "simulation/PictureFile.h"
#include "simulation/SceneCanvas.h"

// The sensor looking at a source picture of any size, through a gaze that may move from
// one frame to the next. Only the canvas pixels the sensor's samples read are filled, each
// from the picture pixel under it, so a large picture costs no more than a small one.
// Grey is the luminance, as for a picture file.
class CGazeScene : public IScene {
  public:
    // Until the gaze first moves, `fixedView` (when given) is rendered instead: a picture
    // file keeps the view it always had unless a gaze is asked for.
    CGazeScene(std::shared_ptr<CSourceGaze> gaze, bool color,
               std::unique_ptr<IScene> fixedView = nullptr);

    // The picture the next Render samples, borrowed: it must stay valid until then.
    void SetPicture(const std::uint8_t* bgr, int width, int height, std::size_t stride);
    // A picture that stays, held here.
    void SetPicture(std::shared_ptr<const SourcePicture> picture);

    SceneCanvas Render(std::uint64_t frame) override;

  private:
    // Which picture byte fills which canvas byte (for grey: the pixel's blue byte).
    struct Fill {
        std::uint32_t canvas;
        std::uint32_t picture;
    };
    void Aim(const Gaze& gaze);
    void LeaveCopyOfPicture();

    std::shared_ptr<CSourceGaze> m_pGaze;
    bool m_bColor;
    std::unique_ptr<IScene> m_pFixedView;
    std::shared_ptr<const SourcePicture> m_pHeld;
    const std::uint8_t* m_pPicture = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;
    std::size_t m_nStride = 0;

    std::uint64_t m_nAimedGeneration = ~std::uint64_t{0};
    int m_nAimedWidth = 0;
    int m_nAimedHeight = 0;
    std::size_t m_nAimedStride = 0;
    std::vector<Fill> m_fills;
    std::vector<std::uint8_t> m_canvas;  // one plane, or three for colour
};

// A decoded picture file at its own size, as the gaze samples it.
std::shared_ptr<const SourcePicture> SourcePictureOf(DecodedPicture decoded);
