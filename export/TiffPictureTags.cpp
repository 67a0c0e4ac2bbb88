#include "export/TiffPictureTags.h"

#include <cstdint>

#include "sensor/Defaults.h"

void SetPictureTags(TIFF* tiff, const Picture& picture) {
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, std::uint32_t(picture.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, std::uint32_t(picture.height));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, picture.grey ? 1 : 3);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
                 picture.grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, std::uint32_t(picture.height));
    TIFFSetField(tiff, TIFFTAG_SOFTWARE, kProductName);
}
