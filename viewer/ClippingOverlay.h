#pragma once

#include "viewer/FrameHandover.h"

class QPainter;

// Tools > Show Clipping: over the picture on screen, pixels of the sensor shown black (every
// channel at 0) turn blue and those shown white (any channel at 255, which for colour also
// bends the hue) turn red. Pixels outside the sensor disc stay as they are. The frame's
// own pixels are untouched, so Save and export never see it.
void PaintClipping(QPainter& painter, const CFrameHandover::ScreenPicture& picture);
