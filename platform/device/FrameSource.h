#pragma once

#include <cstdint>

// What an in-process device delivers as frames: one whole frame of kFrameBytes per call.
class IFrameSource {
  public:
    virtual ~IFrameSource() = default;
    // Fills the next frame; false when the source has ended (nothing was written).
    virtual bool NextFrame(std::uint8_t* pFrame) = 0;
};
