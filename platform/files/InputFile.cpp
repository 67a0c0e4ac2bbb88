#include "platform/files/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files/FileKind.h"

FileResult OpenRegularInput(const std::string& path, int* pFd) {
    *pFd = -1;
    // Non-blocking, so that opening a FIFO without a writer returns at once.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return FileResult::FromErrno("read", path, errno);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return FileResult::FromErrno("read", path, error);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return FileResult::Failure("cannot read " + path + ": it is " + KindOf(info.st_mode) +
                                   ", not a regular file");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    *pFd = fd;
    return {};
}
