#pragma once

#include <atomic>

#include "processing/FrameProcessor.h"
#include "viewer/ViewerTypes.h"

// State the viewer window shares with its acquisition thread. The processor and the
// camera are owned by the window; they are replaced or deleted only while no acquisition
// thread exists, so the worker may use what it loads for the whole pass.
extern std::atomic<CFrameProcessor*> g_pProcessor;
extern std::atomic<int> g_bCalibrate;
extern std::atomic<int> g_bHistogramHidden;

// Touched by the acquisition thread only while one exists, by the window only when none does.
extern HistogramCounts g_histogram;
extern BitmapHeader g_bmiFrame;
