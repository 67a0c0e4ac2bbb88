#include "simulation/PictureFile.h"

#include <stb/stb_image.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <utility>

#include "platform/files/InputFile.h"

namespace {

struct CloseFile {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

struct FreePixels {
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

}  // namespace

FileResult DecodePictureFile(const std::string& path, BgrPicture* picture) {
    int fd = -1;
    if (FileResult opened = OpenRegularInput(path, &fd); !opened) {
        return opened;
    }
    const std::unique_ptr<std::FILE, CloseFile> file(::fdopen(fd, "rb"));
    if (!file) {
        const int error = errno;
        ::close(fd);
        return FileResult::FromErrno("read", path, error);
    }
    int width = 0;
    int height = 0;
    int channels = 0;
    if (stbi_info_from_file(file.get(), &width, &height, &channels) &&
        (width > kMaxPictureSide || height > kMaxPictureSide)) {
        return FileResult::Failure("cannot use " + path + ": it is " + std::to_string(width) +
                                   " x " + std::to_string(height) + " pixels, larger than " +
                                   std::to_string(kMaxPictureSide) + " x " +
                                   std::to_string(kMaxPictureSide));
    }
    const std::unique_ptr<stbi_uc, FreePixels> pixels(
        stbi_load_from_file(file.get(), &width, &height, &channels, 3));
    if (!pixels) {
        return FileResult::Failure("cannot decode " + path + " as a picture (" +
                                   stbi_failure_reason() + ")");
    }
    picture->width = width;
    picture->height = height;
    picture->stride = std::size_t(width) * 3;
    picture->bgr.assign(pixels.get(), pixels.get() + picture->stride * std::size_t(height));
    for (std::size_t i = 0; i < picture->bgr.size(); i += 3) {
        std::swap(picture->bgr[i], picture->bgr[i + 2]);  // the decoder gives red first
    }
    return {};
}
