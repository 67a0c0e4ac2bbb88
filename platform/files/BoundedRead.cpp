#include "platform/files/BoundedRead.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files/InputFile.h"

bool ReadSmallRegularFile(const std::string& path, std::size_t limit, std::string* text,
                          std::string* error) {
    int fd = -1;
    if (const FileResult opened = OpenRegularInput(path, &fd); !opened) {
        *error = opened.Error();
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || std::size_t(info.st_size) > limit) {
        *error = "cannot read " + path + ": " +
                 (info.st_size > 0 ? "it holds " + std::to_string(info.st_size) +
                                         " bytes, more than " + std::to_string(limit)
                                   : std::string(std::strerror(errno)));
        ::close(fd);
        return false;
    }
    text->clear();
    text->reserve(std::size_t(info.st_size));
    char chunk[65536];
    for (;;) {
        const ssize_t count = ::read(fd, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            *error = "cannot read " + path + ": " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        // A file that grew past the limit meanwhile is refused all the same.
        if (count == 0 || text->size() > limit) {
            break;
        }
        text->append(chunk, std::size_t(count));
    }
    ::close(fd);
    if (text->size() > limit) {
        *error = "cannot read " + path + ": it holds more than " + std::to_string(limit) + " bytes";
        return false;
    }
    return true;
}
