#include "platform/files/OutputTarget.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/files/FileKind.h"

namespace {

constexpr int kMostLinks = 40;  // as many as the kernel follows

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

FileResult Fail(const std::string& path, const std::string& reason) {
    return FileResult::Failure("cannot write " + path + ": " + reason);
}

}  // namespace

FileResult ResolveOutputTarget(const std::string& path, OutputTarget* target) {
    if (path.empty()) {
        return Fail("\"\"", "no file name");
    }
    std::string current = path;
    for (int links = 0;; ++links) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0) {
            if (errno != ENOENT) {
                return Fail(path, std::strerror(errno));
            }
            *target = OutputTarget{current};
            return {};
        }
        if (S_ISLNK(info.st_mode)) {
            if (links == kMostLinks) {
                return Fail(path, std::strerror(ELOOP));
            }
            std::vector<char> buffer(std::size_t(info.st_size > 0 ? info.st_size : PATH_MAX) + 1);
            const ssize_t length = ::readlink(current.c_str(), buffer.data(), buffer.size());
            if (length < 0 || std::size_t(length) >= buffer.size()) {
                return Fail(path, std::strerror(length < 0 ? errno : ENAMETOOLONG));
            }
            std::string next(buffer.data(), std::size_t(length));
            current = next.front() == '/' ? next : FolderOf(current) + next;
            continue;
        }
        if (!S_ISREG(info.st_mode)) {
            return Fail(path, std::string("it is ") + KindOf(info.st_mode));
        }
        // Renaming over a file would succeed where writing into it is refused.
        if (::access(current.c_str(), W_OK) != 0) {
            return Fail(path, std::strerror(errno));
        }
        *target = OutputTarget{current, true, info.st_mode & 07777, info.st_uid, info.st_gid};
        return {};
    }
}

std::string TemporaryNameBeside(const std::string& path, unsigned serial) {
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string suffix = ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(serial);
    long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    if (limit <= 0) {
        limit = NAME_MAX;
    }
    if (name.size() + suffix.size() > std::size_t(limit)) {
        name.resize(std::size_t(limit) > suffix.size() ? std::size_t(limit) - suffix.size() : 0);
    }
    return folder + name + suffix;
}
