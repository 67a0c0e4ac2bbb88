#include "camera/Picture.h"

#include <stb/stb_image.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/files/InputFile.h"

std::shared_ptr<const CPicture> CPicture::Load(const std::string& path, std::string* error) {
    int fd = -1;
    if (const FileResult opened = OpenRegularInput(path, &fd); !opened) {
        *error = opened.Error();
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) {
        *error = "cannot read " + path + ": " + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    int width = 0;
    int height = 0;
    int channels = 0;
    // The header alone says how much decoding would take; a picture too large is refused
    // before a pixel is decoded.
    if (stbi_info_from_file(file, &width, &height, &channels) &&
        (width > kMaxSide || height > kMaxSide)) {
        std::fclose(file);
        *error = "cannot use " + path + ": it is " + std::to_string(width) + " x " +
                 std::to_string(height) + " pixels, larger than " + std::to_string(kMaxSide) +
                 " x " + std::to_string(kMaxSide);
        return nullptr;
    }
    stbi_uc* pixels = stbi_load_from_file(file, &width, &height, &channels, 3);
    std::fclose(file);
    if (!pixels) {
        *error = "cannot decode " + path + " as a picture (" + stbi_failure_reason() + ")";
        return nullptr;
    }
    auto picture = std::make_shared<CPicture>();
    // Cover the square: the shorter side fills it, the longer one is cropped evenly.
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
                const stbi_uc* row = pixels + (std::size_t(sy) * width + sx0) * 3;
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
    stbi_image_free(pixels);
    return picture;
}
