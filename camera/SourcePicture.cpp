#include "camera/SourcePicture.h"

#include <cstdlib>

SourcePicture SourcePicture::Bgr(const std::uint8_t* bgr, int width, int height,
                                 std::size_t stride) {
    SourcePicture picture;
    picture.width = width;
    picture.height = height;
    for (std::size_t c = 0; c < 3; ++c) {
        picture.channel[c] = {bgr + c, stride, 3, 0, 0};
    }
    return picture;
}

bool SourcePicture::IsPacked() const {
    if (encoding != Encoding::kBgr) {
        return false;
    }
    for (const PictureChannel& c : channel) {
        const std::ptrdiff_t apart = c.origin - channel[0].origin;
        if (c.step != PixelStep() || c.rowStride != RowStride() || c.xShift != 0 || c.yShift != 0 ||
            std::abs(apart) >= c.step) {
            return false;
        }
    }
    return PixelStep() > 0;
}
