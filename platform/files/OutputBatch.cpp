#include "platform/files/OutputBatch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "platform/files/FileIo.h"
#include "platform/files/TempFileCleanup.h"

namespace {

std::atomic<unsigned> g_nBatchSerial{0};

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

bool Fail(const std::string& path, int error, std::string* message) {
    *message = "cannot write " + path + ": " + std::strerror(error);
    return false;
}

// Opens a folder to sync it; -1 when it cannot be opened.
int OpenFolder(const std::string& folder) {
    return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

}  // namespace

COutputBatch::~COutputBatch() {
    RemoveTemporaryFiles();
}

void COutputBatch::RemoveTemporaryFiles() {
    for (Member& member : m_members) {
        if (!member.temp.empty()) {
            ::unlink(member.temp.c_str());
            member.temp.clear();
        }
        ForgetTemporaryFile(member.cleanupTicket);
        member.cleanupTicket = -1;
    }
    m_members.clear();
}

const COutputBatch::Member* COutputBatch::Find(const std::string& path) const {
    for (const Member& member : m_members) {
        if (member.path == path) {
            return &member;
        }
    }
    return nullptr;
}

std::string COutputBatch::Add(const std::string& path, std::string* error) {
    Member member;
    member.path = path;
    if (const FileResult resolved = ResolveOutputTarget(path, &member.target); !resolved) {
        *error = resolved.Error();
        return {};
    }
    std::lock_guard lock(m_mutex);
    for (const Member& other : m_members) {
        if (other.target.path == member.target.path) {
            *error = "cannot write " + path + ": it is written twice (as " + other.path + ")";
            return {};
        }
    }
    member.temp = TemporaryNameBeside(member.target.path, ++g_nBatchSerial);
    // 0666 before the umask, as a plain fopen("wb") would create it.
    const int fd = ::open(member.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        Fail(path, errno, error);
        return {};
    }
    if (member.target.exists) {
        // Best effort: only root may give the file back to another owner.
        [[maybe_unused]] int ignored = ::fchown(fd, member.target.owner, member.target.group);
        ::fchmod(fd, member.target.mode);
    }
    ::close(fd);
    member.cleanupTicket = RememberTemporaryFile(member.temp);
    m_members.push_back(member);
    return member.temp;
}

bool COutputBatch::Append(const std::string& path, const void* pData, std::size_t size,
                          std::string* error) {
    std::string temp;
    {
        std::lock_guard lock(m_mutex);
        const Member* member = Find(path);
        if (member == nullptr) {
            return Fail(path, ENOENT, error);
        }
        temp = member->temp;
    }
    const int fd = ::open(temp.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return Fail(path, errno, error);
    }
    if (!WriteFully(fd, pData, size)) {
        const int reason = errno != 0 ? errno : ENOSPC;
        ::close(fd);
        return Fail(path, reason, error);
    }
    return ::close(fd) == 0 || Fail(path, errno, error);
}

bool COutputBatch::Commit(std::string* error) {
    std::set<std::string> folders;
    std::set<dev_t> devices;
    for (const Member& member : m_members) {
        folders.insert(FolderOf(member.target.path));
    }
    // One sync of each file system instead of one per file: far faster for many pictures.
    for (const std::string& folder : folders) {
        struct stat info {};
        const int fd = OpenFolder(folder);
        if (fd < 0 || ::fstat(fd, &info) != 0 ||
            (devices.insert(info.st_dev).second && ::syncfs(fd) != 0)) {
            const int reason = errno;
            if (fd >= 0) {
                ::close(fd);
            }
            RemoveTemporaryFiles();
            return Fail(folder, reason, error);
        }
        ::close(fd);
    }
    for (Member& member : m_members) {
        if (std::rename(member.temp.c_str(), member.target.path.c_str()) != 0) {
            Fail(member.path, errno, error);
            RemoveTemporaryFiles();
            return false;
        }
        member.temp.clear();
        ForgetTemporaryFile(member.cleanupTicket);
        member.cleanupTicket = -1;
    }
    m_members.clear();
    // The new names reach the disk too.
    for (const std::string& folder : folders) {
        const int fd = OpenFolder(folder);
        if (fd < 0 || ::fsync(fd) != 0) {
            const int reason = errno;
            if (fd >= 0) {
                ::close(fd);
            }
            return Fail(folder, reason, error);
        }
        ::close(fd);
    }
    return true;
}
