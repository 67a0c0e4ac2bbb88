#pragma once

#include "sensor/LogPolarFrame.h"

// The values every program starts from until the operator says otherwise: the viewer's
// Settings, pandry-cli's options, the Python module's arguments and a recording's sidecar.
inline constexpr int kDefaultPortAddress = 0x378;
inline constexpr int kDefaultGain = 3;
inline constexpr int kDefaultOffset = 80;
inline constexpr int kDefaultAux = 320;  // both auxiliary values
inline constexpr int kDefaultMedian = 0;
inline constexpr int kDefaultSize = kNormalSize;
inline constexpr const char* kDefaultCalibrationFile = "calimage.data";
// What the Settings dialog's fields hold, and so every program: three characters of gain, an
// offset the correction can use.
inline constexpr int kLeastOffset = -999;
inline constexpr int kMostOffset = 999;
inline constexpr int kLeastGain = -99;
inline constexpr int kMostGain = 999;
// The main window's title, and the software named in saved pictures.
inline constexpr const char* kProductName = "Pandry";
