#include "platform/files/StaleTempFiles.h"

#include <dirent.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>

namespace {

constexpr char kMark[] = ".tmp-";
constexpr std::size_t kMarkLength = sizeof kMark - 1;

bool AllDigits(const std::string& text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

// For NAME.tmp-PID-N: NAME and PID; false for any other name.
bool SplitTemporaryName(const std::string& name, std::string* destination, long* pid) {
    const std::size_t mark = name.rfind(kMark);
    if (mark == std::string::npos || mark == 0) {
        return false;
    }
    const std::string rest = name.substr(mark + kMarkLength);
    const std::size_t dash = rest.find('-');
    if (dash == std::string::npos || !AllDigits(rest.substr(0, dash)) ||
        !AllDigits(rest.substr(dash + 1)) || dash > 9) {
        return false;
    }
    *destination = name.substr(0, mark);
    *pid = std::stol(rest.substr(0, dash));
    return true;
}

bool ProcessIsGone(long pid) {
    return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

int RemoveStaleTemporaryFiles(const std::string& folder, const TemporaryFileOwner& isOurs) {
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    DIR* directory = ::opendir(prefix.empty() ? "." : prefix.c_str());
    if (directory == nullptr) {
        return 0;
    }
    long limit = ::pathconf(prefix.empty() ? "." : prefix.c_str(), _PC_NAME_MAX);
    if (limit <= 0) {
        limit = NAME_MAX;
    }
    int removed = 0;
    while (const dirent* entry = ::readdir(directory)) {
        const std::string name = entry->d_name;
        std::string destination;
        long pid = 0;
        if (!SplitTemporaryName(name, &destination, &pid)) {
            continue;
        }
        const std::string path = prefix + name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != ::geteuid() || !ProcessIsGone(pid)) {
            continue;
        }
        const bool shortened = name.size() == std::size_t(limit);
        if (isOurs(prefix + destination, shortened) && ::unlink(path.c_str()) == 0) {
            ++removed;
        }
    }
    ::closedir(directory);
    return removed;
}

int RemoveStaleTemporaryFilesOf(const std::string& path) {
    return RemoveStaleTemporaryFiles(
        FolderOf(path), [&path](const std::string& destination, bool shortened) {
            return shortened ? path.compare(0, destination.size(), destination) == 0
                             : destination == path;
        });
}
