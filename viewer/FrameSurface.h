#pragma once

#include <cstdint>

#include "viewer/SensorSnapshot.h"
#include "viewer/ViewerTypes.h"

// Where the viewer's pictures end up. The frame and histogram calls may come from the
// acquisition thread; an implementation copies what it is given before returning and
// never makes the caller wait for the user-interface thread. LoadBackground comes from the
// user-interface thread only.
class CFrameSurface {
  public:
    virtual ~CFrameSurface() = default;

    // Loads background picture 128 scaled to width x height, painted at (0, top) while no
    // frame is shown; width 0 releases it.
    virtual void LoadBackground(int width, int height, int top) = 0;

    // What the sensor gave for the frame the next DrawFrame shows (same thread).
    virtual void AttachSensor(const SensorFrame&) {}
    // Whether a frame drawn now would reach the screen; the worker skips drawing frames
    // that would not (the last frame of a run is always drawn).
    virtual bool WantsFrame() const { return true; }
    // Shows pPixels (as header describes them) stretched to destination.
    virtual void DrawFrame(const std::uint8_t* pPixels, const BitmapHeader& header,
                           const ViewerRect& destination) = 0;
    // Drops the frame shown and any not yet painted; the background shows again.
    virtual void EndFrames() = 0;

    // Read by the worker before it decides to plot; a plot drawn with a generation that an
    // EndHistogram has passed meanwhile is dropped, so a hide is never undone by it.
    virtual std::uint64_t HistogramGeneration() const = 0;
    // Shows the 256 x 100 histogram picture with its top-left corner at (x, y).
    virtual void DrawHistogram(const std::uint8_t* pPixels, int x, int y,
                               std::uint64_t generation) = 0;
    virtual void EndHistogram() = 0;
};
