#include "platform/files/BoundedRead.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files/InputFile.h"

FileResult ReadSmallRegularFile(const std::string& path, std::size_t limit, std::string* text) {
    int fd = -1;
    if (FileResult opened = OpenRegularInput(path, &fd); !opened) {
        return opened;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return FileResult::FromErrno("read", path, error);
    }
    if (std::size_t(info.st_size) > limit) {
        ::close(fd);
        return FileResult::Failure("cannot read " + path + ": it holds " +
                                   std::to_string(info.st_size) + " bytes, more than " +
                                   std::to_string(limit));
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
            const int error = errno;
            ::close(fd);
            return FileResult::FromErrno("read", path, error);
        }
        // A file that grew past the limit meanwhile is refused all the same.
        if (count == 0 || text->size() > limit) {
            break;
        }
        text->append(chunk, std::size_t(count));
    }
    ::close(fd);
    if (text->size() > limit) {
        return FileResult::Failure("cannot read " + path + ": it holds more than " +
                                   std::to_string(limit) + " bytes");
    }
    return {};
}
