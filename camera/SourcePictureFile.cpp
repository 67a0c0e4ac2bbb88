#include <utility>

#include "camera/GazeScene.h"

std::shared_ptr<const SourcePicture> SourcePictureOf(DecodedPicture decoded) {
    auto picture = std::make_shared<SourcePicture>();
    picture->width = decoded.width;
    picture->height = decoded.height;
    picture->stride = std::size_t(decoded.width) * 3;
    picture->bgr = std::move(decoded.rgb);  // red, green, blue until swapped below
    for (std::size_t i = 0; i < picture->bgr.size(); i += 3) {
        std::swap(picture->bgr[i], picture->bgr[i + 2]);
    }
    return picture;
}
