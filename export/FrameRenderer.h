#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "export/Picture.h"
#include "export/SampleValues.h"
#include "processing/FrameProcessor.h"
#include "processing/ProcessorFactory.h"

// The settings a renderer is built from: the processor's, view included, and which values
// its pictures hold.
struct RenderSettings : ProcessorSettings {
    SampleValues values = SampleValues::kShown;
    // The operator set aside the recording's sidecar (--ignore-sidecar): the pictures say so.
    bool sidecarIgnored = false;

    // The processor's settings, then "values" when the pictures hold other values than the
    // shown ones and "sidecar=ignored" when it was; Describe gives the same as one line
    // "sensor=mono size=256 ...".
    std::vector<std::pair<std::string, std::string>> Pairs() const;
    std::string Describe() const;
};

// Processes raw frames one at a time with the processor the viewer uses, and hands back the
// picture the viewer shows for each.
class CFrameRenderer {
  public:
    explicit CFrameRenderer(const RenderSettings& settings);

    // The picture of one raw frame (kFrameBytes); false when the processor refused it.
    bool Render(const std::uint8_t* pRaw, Picture* picture);
    // The same, with the RGB picture written to pRgbOut (Width() x Height() x 3 bytes);
    // streamed past the caches where StreamsPictures says so, if asked.
    bool RenderInto(const std::uint8_t* pRaw, std::uint8_t* pRgbOut, bool streamed = false);
    bool StreamsPictures() const;
    // A black-and-white sensor's picture as one level per pixel (Width() x Height(), top row
    // first), the level RenderInto's three channels carry; false for a colour sensor or a
    // refused frame.
    bool RenderGreyInto(const std::uint8_t* pRaw, std::uint8_t* pGreyOut);
    // The frame corrected as the processor corrects it, flat included (before any remap),
    // sector-major.
    bool Correct(const std::uint8_t* pRaw, std::uint8_t* pCorrected);
    // The raw, corrected or flat-corrected values as one byte per pixel (Width() x Height(), top
    // row first): the sample grid itself unmapped, remapped as the picture shows it. kShown is
    // refused, and kFlat without a flat image.
    bool SampleValuesInto(const std::uint8_t* pRaw, SampleValues values, std::uint8_t* pOut);

    int Width() const;
    int Height() const;

  private:
    bool Process(const std::uint8_t* pRaw, Picture* picture, std::uint8_t* pRgbOut,
                 bool streamed = false);

    bool RenderValues(const std::uint8_t* pRaw, Picture* picture);

    RenderSettings m_settings;
    std::vector<std::uint8_t> m_grid;  // SampleValuesInto's sample grid
    Picture m_scratch;                 // RenderInto's intermediate
    std::unique_ptr<CFrameProcessor> m_pProcessor;
};
