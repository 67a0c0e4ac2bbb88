#pragma once

#include <tiffio.h>

#include <string>

#include "export/ImageJMetadata.h"

// Opens one of our TIFF files for reading, with the tags we write known to libtiff.
inline TIFF* OpenOurTiff(const std::string& path) {
    RegisterImageJTags();
    return TIFFOpen(path.c_str(), "r");
}
