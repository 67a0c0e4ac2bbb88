#pragma once

#include <tiffio.h>

#include "export/Picture.h"

// The tags every TIFF page of ours carries: the picture's size and kind, 8 bits a sample,
// uncompressed, top row first, one strip, and the software's name.
void SetPictureTags(TIFF* tiff, const Picture& picture);
