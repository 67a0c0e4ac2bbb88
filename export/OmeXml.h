#pragma once

#include <string>
#include <utility>
#include <vector>

// What the OME-XML of a single-image time series says: the picture's size and channels,
// when acquisition started, each plane's time since the first, and named values shown to
// the reader as one map annotation.
struct OmeSeries {
    std::string name;
    int width = 0;
    int height = 0;
    bool grey = true;            // one channel; otherwise RGB in one interleaved plane
    std::string startTime;       // ISO 8601; empty: unknown
    std::vector<double> deltaT;  // seconds, one per plane; the plane count
    bool deltaTKnown = true;     // false: the planes carry no DeltaT
    std::vector<std::pair<std::string, std::string>> annotations;
};

// The OME-XML document for a TIFF whose pages are the planes in order (one page per time
// point); empty with *error when the XML writer failed.
std::string OmeXmlFor(const OmeSeries& series, std::string* error);
