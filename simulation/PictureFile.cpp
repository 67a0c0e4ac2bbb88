#include "simulation/PictureFile.h"

#include <stb/stb_image.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/files/InputFile.h"

namespace {

struct CloseFile {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

struct FreePixels {
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

}  // namespace

bool DecodePictureFile(const std::string& path, DecodedPicture* picture, std::string* error) {
    int fd = -1;
    if (const FileResult opened = OpenRegularInput(path, &fd); !opened) {
        *error = opened.Error();
        return false;
    }
    const std::unique_ptr<std::FILE, CloseFile> file(::fdopen(fd, "rb"));
    if (!file) {
        *error = "cannot read " + path + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    int width = 0;
    int height = 0;
    int channels = 0;
    if (stbi_info_from_file(file.get(), &width, &height, &channels) &&
        (width > kMaxPictureSide || height > kMaxPictureSide)) {
        *error = "cannot use " + path + ": it is " + std::to_string(width) + " x " +
                 std::to_string(height) + " pixels, larger than " +
                 std::to_string(kMaxPictureSide) + " x " + std::to_string(kMaxPictureSide);
        return false;
    }
    const std::unique_ptr<stbi_uc, FreePixels> pixels(
        stbi_load_from_file(file.get(), &width, &height, &channels, 3));
    if (!pixels) {
        *error = "cannot decode " + path + " as a picture (" + stbi_failure_reason() + ")";
        return false;
    }
    picture->width = width;
    picture->height = height;
    picture->rgb.assign(pixels.get(), pixels.get() + std::size_t(width) * height * 3);
    return true;
}
