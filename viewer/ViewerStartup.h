#pragma once

#include <optional>

// Initial values from the command line; each is one the operator could set by hand, and
// whatever is not given keeps its default.
struct ViewerStartup {
    std::optional<int> offset;
    std::optional<int> gain;
    std::optional<bool> bColor;
    bool bZoom = false;
    bool bHistogram = false;
    bool bUnmapped = false;
    bool bAutoLevels = false;  // chosen from the first frame acquired
};
