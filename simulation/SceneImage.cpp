#include "simulation/SceneImage.h"

#include <algorithm>

std::shared_ptr<const CSceneImage> CSceneImage::Covering(const DecodedPicture& decoded) {
    const int width = decoded.width;
    const int height = decoded.height;
    const std::uint8_t* pixels = decoded.rgb.data();
    auto picture = std::make_shared<CSceneImage>();
    double scale = double(std::min(width, height)) / Side();
    double left = (width - scale * Side()) / 2;
    double top = (height - scale * Side()) / 2;
    for (auto& plane : picture->m_planes) {
        plane.resize(std::size_t(Side()) * Side());
    }
    for (int y = 0; y < Side(); ++y) {
        // Average the source pixels under each target pixel (a box filter).
        int sy0 = std::clamp(int(top + y * scale), 0, height - 1);
        int sy1 = std::clamp(int(top + (y + 1) * scale), sy0 + 1, height);
        for (int x = 0; x < Side(); ++x) {
            int sx0 = std::clamp(int(left + x * scale), 0, width - 1);
            int sx1 = std::clamp(int(left + (x + 1) * scale), sx0 + 1, width);
            unsigned sum[3] = {0, 0, 0};
            for (int sy = sy0; sy < sy1; ++sy) {
                const std::uint8_t* row = pixels + (std::size_t(sy) * width + sx0) * 3;
                for (int sx = sx0; sx < sx1; ++sx, row += 3) {
                    sum[0] += row[0];
                    sum[1] += row[1];
                    sum[2] += row[2];
                }
            }
            unsigned count = unsigned((sy1 - sy0) * (sx1 - sx0));
            std::size_t at = std::size_t(y) * Side() + x;
            // The file holds red, green, blue; the planes are blue, green, red.
            for (int plane = 0; plane < 3; ++plane) {
                picture->m_planes[std::size_t(plane)][at] =
                    std::uint8_t((sum[2 - plane] + count / 2) / count);
            }
        }
    }
    return picture;
}
