#include "viewer/SharedState.h"

std::atomic<CFrameProcessor*> g_pProcessor{nullptr};
std::atomic<int> g_bCalibrate{0};
std::atomic<int> g_bHistogramHidden{1};

HistogramCounts g_histogram = {};
BitmapHeader g_bmiFrame;
