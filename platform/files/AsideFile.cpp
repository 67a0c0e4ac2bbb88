#include "platform/files/AsideFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "platform/files/StaleTempFiles.h"
#include "platform/files/TempFileCleanup.h"

namespace {

std::atomic<unsigned> g_nSerial{0};
// Names taken by someone else in a row before giving up.
constexpr int kMostTries = 100;

}  // namespace

FileResult CreateAsideFile(const std::string& name, const OutputTarget& target, AsideFile* aside) {
    RemoveAsideFile(aside);
    if (target.path != name) {
        RemoveStaleTemporaryFilesOf(target.path);
    }
    for (int tries = 0; tries < kMostTries; ++tries) {
        const std::string path = TemporaryNameBeside(target.path, ++g_nSerial);
        // 0666 before the umask, as a plain fopen("wb") would create it.
        // Read too: libtiff reads back the directories it chains.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) {
            continue;
        }
        if (fd < 0) {
            return FileResult::FromErrno("write", name, errno);
        }
        if (target.exists) {
            // Best effort: only root may give the file back to another owner.
            [[maybe_unused]] int ignored = ::fchown(fd, target.owner, target.group);
            ::fchmod(fd, target.mode);
        }
        aside->path = path;
        aside->fd = fd;
        aside->cleanupTicket = RememberTemporaryFile(path);
        return {};
    }
    return FileResult::FromErrno("write", name, EEXIST);
}

FileResult PutAsideFileInPlace(const std::string& name, const OutputTarget& target,
                               AsideFile* aside) {
    if (std::rename(aside->path.c_str(), target.path.c_str()) != 0) {
        const int error = errno;
        RemoveAsideFile(aside);
        return FileResult::FromErrno("write", name, error);
    }
    ForgetTemporaryFile(aside->cleanupTicket);
    if (aside->fd >= 0) {
        ::close(aside->fd);
    }
    *aside = AsideFile{};
    return {};
}

void RemoveAsideFile(AsideFile* aside) {
    if (aside->fd >= 0) {
        ::close(aside->fd);
    }
    if (!aside->path.empty()) {
        ::unlink(aside->path.c_str());
    }
    ForgetTemporaryFile(aside->cleanupTicket);
    *aside = AsideFile{};
}
