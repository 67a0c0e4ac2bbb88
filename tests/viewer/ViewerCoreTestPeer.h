#pragma once

#include "viewer/ViewerCore.h"

// What tests read of the viewer's logic beyond what the window needs.
class CViewerCoreTestPeer {
  public:
    static bool IsThreadActive(const CViewerCore& core) { return core.m_bThreadActive.load(); }
    static bool IsStopRequested(const CViewerCore& core) { return core.m_bStop.load(); }
    static bool HasFrameShown(const CViewerCore& core) {
        return core.m_pFrameShown.load() != nullptr;
    }
    static int ConfiguredMedian(const CViewerCore& core) { return core.m_nCfgMedian; }
};
