#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "camera/FrameFeed.h"
#include "export/Picture.h"
#include "processing/FrameProcessor.h"

// How frames are turned into pictures: the values the viewer's settings and view hold.
struct RenderSettings {
    bool color = false;
    int size = 256;  // 256 or 512
    bool remapped = true;
    int offset = 80;
    int gain = 3;
    std::string calibration = "calimage.data";  // empty: none
    std::string calibrationSha256;              // of the file applied, when known

    // "sensor=mono size=256 view=remapped offset=80 gain=3 calibration=none", the calibration
    // as FILE followed by calibration_sha256= and the first 12 hex digits when known.
    std::string Describe() const;
};

// Processes raw frames one at a time with the processor the viewer uses, and hands back the
// picture the viewer shows for each.
class CFrameRenderer {
  public:
    explicit CFrameRenderer(const RenderSettings& settings);

    // The picture of one raw frame (kFrameBytes); false when the processor refused it.
    bool Render(const std::uint8_t* pRaw, Picture* picture);
    // The same, with the RGB picture written to pRgbOut (Width() x Height() x 3 bytes).
    bool RenderInto(const std::uint8_t* pRaw, std::uint8_t* pRgbOut);
    // The frame corrected as the processor corrects it (before any remap), sector-major.
    bool Correct(const std::uint8_t* pRaw, std::uint8_t* pCorrected);

    int Width() const;
    int Height() const;

  private:
    bool Process(const std::uint8_t* pRaw, Picture* picture, std::uint8_t* pRgbOut);

    RenderSettings m_settings;
    Picture m_scratch;  // RenderInto's intermediate
    CFrameFeed m_feed;
    std::unique_ptr<CFrameProcessor> m_pProcessor;
};
