#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "camera/SourceGaze.h"
#include "camera/SourcePicture.h"
#include "camera/YuvToBgr.h"
#include "simulation/PictureFile.h"
#include "simulation/SceneCanvas.h"

// The sensor looking at a source picture of any size (a picture file, a video's or a
// camera's frames) through a gaze that may move from one frame to the next. Each canvas
// pixel a sample reads is the mean of the picture pixels under it (an area average), so a
// large picture is seen whole rather than through a few of its pixels; only those canvas
// pixels are filled. Grey is the luminance of the averaged colour. A picture that stays is
// sampled again only when the gaze moves. A picture in luma and chroma is converted to colour
// only in the pixels read, each pixel as GStreamer converts it, so that a video's planes give
// the bytes its frames converted whole gave.
class CGazeScene : public IScene {
  public:
    struct Options {
        bool color = false;
        // The view wanders slowly about the gaze, as a hand-held camera would.
        bool drift = false;
        // No gaze is told as used until it first moves (a picture file without a gaze
        // asked for: its recordings list none).
        bool quietUntilMoved = false;
    };

    CGazeScene(std::shared_ptr<CSourceGaze> gaze, Options options);

    // The picture the next Render samples, borrowed: it must stay valid until then.
    void SetPicture(const SourcePicture& picture);
    // A picture that stays, held here.
    void SetPicture(std::shared_ptr<const BgrPicture> picture);

    SceneCanvas Render(std::uint64_t frame) override;

  private:
    // The picture pixels under one canvas column (or row): `count` of them from `offset` in
    // (bytes into a packed picture, pixels into any other); none when the canvas pixel's
    // centre is off the picture.
    struct Span {
        std::size_t offset = 0;
        std::uint32_t count = 0;
    };
    struct Aim {
        std::uint64_t generation = ~std::uint64_t{0};
        int width = 0;
        int height = 0;
        std::size_t stride = 0;  // a packed picture's rows and pixels; 0 for any other
        std::uint8_t step = 0;
        int driftX = 0;
        int driftY = 0;
        bool operator==(const Aim&) const = default;
    };
    void AimAt(const Gaze& gaze, const Aim& aim);
    template <std::size_t kStep>
    void FillPacked();
    template <ChromaSpread kAcross, ChromaSpread kDown>
    void FillYuv();
    void ReadBgr(int x, int y, std::uint8_t* bgr) const;
    void LeaveCopyOfPicture();

    std::shared_ptr<CSourceGaze> m_pGaze;
    Options m_options;
    std::shared_ptr<const BgrPicture> m_pHeld;
    SourcePicture m_picture;
    bool m_bPictureNew = false;
    std::optional<CYuvToBgr> m_yuv;  // for m_picture's colorimetry

    Aim m_aimed;
    std::array<Span, kCanvasSize> m_columns{};
    std::array<Span, kCanvasSize> m_rows{};
    std::vector<std::uint64_t> m_reciprocals;  // by pixel count: exact rounded division
    std::vector<std::uint8_t> m_canvas;        // one plane, or three for colour
};
