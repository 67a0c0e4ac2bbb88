#pragma once

#include "export/Picture.h"
#include "processing/FrameProcessor.h"

// The picture a processor holds for its last frame, as the viewer shows it: remapped
// (after Remap) or unmapped. grey: the sensor is black-and-white.
void TakeProcessorPicture(CFrameProcessor& processor, bool remapped, bool grey, Picture* picture);
