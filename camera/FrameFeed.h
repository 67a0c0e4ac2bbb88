#pragma once

#include <cstdint>

#include "camera/PortCamera.h"

class CFeedDevice;

// A camera link whose frames the caller hands in one at a time, for processing frames that
// are already in memory (a recording being exported, a frame from a script) with the very
// processor the viewer uses.
class CFrameFeed {
  public:
    CFrameFeed();
    CFrameFeed(const CFrameFeed&) = delete;
    CFrameFeed& operator=(const CFrameFeed&) = delete;

    // The link to give the processor (SetCamera); it stays valid as long as the feed.
    CPortCamera& Camera() { return m_camera; }
    // The frame (kFrameBytes) the next read delivers; borrowed until that read.
    void Next(const std::uint8_t* pFrame);

  private:
    CPortCamera m_camera;
    CFeedDevice* m_pDevice = nullptr;  // owned by m_camera's device handle
};
