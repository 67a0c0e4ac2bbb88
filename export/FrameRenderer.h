#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "export/Picture.h"
#include "processing/FrameProcessor.h"
#include "processing/ProcessorFactory.h"

// The settings a renderer is built from; the processor's, view included.
using RenderSettings = ProcessorSettings;

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
    std::unique_ptr<CFrameProcessor> m_pProcessor;
};
