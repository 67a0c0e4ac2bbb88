#include <stb/stb_image.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "camera/GazeScene.h"
#include "platform/files/InputFile.h"
#include "simulation/SceneImage.h"

std::shared_ptr<const SourcePicture> LoadSourcePicture(const std::string& path,
                                                       std::string* error) {
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
    if (stbi_info_from_file(file, &width, &height, &channels) &&
        (width > CSceneImage::kMaxSide || height > CSceneImage::kMaxSide)) {
        std::fclose(file);
        *error = "cannot use " + path + ": it is " + std::to_string(width) + " x " +
                 std::to_string(height) + " pixels, larger than " +
                 std::to_string(CSceneImage::kMaxSide) + " x " +
                 std::to_string(CSceneImage::kMaxSide);
        return nullptr;
    }
    stbi_uc* pixels = stbi_load_from_file(file, &width, &height, &channels, 3);
    std::fclose(file);
    if (!pixels) {
        *error = "cannot decode " + path + " as a picture (" + stbi_failure_reason() + ")";
        return nullptr;
    }
    auto picture = std::make_shared<SourcePicture>();
    picture->width = width;
    picture->height = height;
    picture->stride = std::size_t(width) * 3;
    picture->bgr.assign(pixels, pixels + picture->stride * std::size_t(height));
    stbi_image_free(pixels);
    // The file holds red, green, blue.
    for (std::size_t i = 0; i < picture->bgr.size(); i += 3) {
        std::swap(picture->bgr[i], picture->bgr[i + 2]);
    }
    return picture;
}
