#pragma once

#include "export/Picture.h"
#include "processing/FrameProcessor.h"

// The picture a processor holds for its last frame, as the viewer shows it: remapped
// (after Remap) or unmapped. grey: the sensor is black-and-white. With pRgbOut the top-row-first
// RGB goes there (width x height x 3 bytes) instead of into picture->rgb. The processor
// writes that layout itself where it can, and picture->bgrFlipped is then left empty.
// streamed: pRgbOut is not read soon, so the one-pass remap may store it past the caches
// (StreamsPicture says where it does).
void TakeProcessorPicture(CFrameProcessor& processor, bool remapped, bool grey, Picture* picture,
                          std::uint8_t* pRgbOut = nullptr, bool streamed = false);
// Whether TakeProcessorPicture streams this processor's picture when asked to.
bool StreamsPicture(const CFrameProcessor& processor, bool remapped);

// A black-and-white processor's picture for its last frame as one level per pixel, top row
// first (width x height bytes): the level each channel of TakeProcessorPicture's RGB carries.
void TakeGreyProcessorPicture(CFrameProcessor& processor, bool remapped, std::uint8_t* pGreyOut);
