#include "platform/files/OutputBatch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <set>

#include "platform/files/FileIo.h"

namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

// Opens a folder to sync it; -1 when it cannot be opened.
int OpenFolder(const std::string& folder) {
    return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Writes the whole of pData at the end of fd, or cuts fd back to its length before.
FileResult AppendWhole(int fd, const std::string& path, const void* pData, std::size_t size) {
    const off_t before = ::lseek(fd, 0, SEEK_END);
    if (before < 0) {
        return FileResult::FromErrno("write", path, errno);
    }
    if (!WriteFully(fd, pData, size)) {
        const int reason = errno != 0 ? errno : ENOSPC;
        [[maybe_unused]] const int ignored = ::ftruncate(fd, before);
        return FileResult::FromErrno("write", path, reason);
    }
    return {};
}

FileResult CloseWritten(int fd, const std::string& path, FileResult written) {
    if (::close(fd) != 0 && written) {
        return FileResult::FromErrno("write", path, errno);
    }
    return written;
}

}  // namespace

COutputBatch::~COutputBatch() {
    RemoveTemporaryFiles();
}

void COutputBatch::RemoveTemporaryFiles() {
    for (Member& member : m_members) {
        RemoveAsideFile(&member.aside);
    }
    m_members.clear();
    m_byPath.clear();
    m_byTarget.clear();
}

int COutputBatch::Create(const std::string& path, FileResult* result) {
    Member member;
    member.path = path;
    if (*result = ResolveOutputTarget(path, &member.target); !*result) {
        return -1;
    }
    std::lock_guard lock(m_mutex);
    if (const auto other = m_byTarget.find(member.target.path); other != m_byTarget.end()) {
        *result = FileResult::Failure("cannot write " + path + ": it is written twice (as " +
                                      m_members[other->second].path + ")");
        return -1;
    }
    if (*result = CreateAsideFile(path, member.target, &member.aside); !*result) {
        return -1;
    }
    const int fd = member.aside.fd;
    member.aside.fd = -1;  // the caller's to close
    m_byPath.emplace(path, m_members.size());
    m_byTarget.emplace(member.target.path, m_members.size());
    m_members.push_back(std::move(member));
    return fd;
}

FileResult COutputBatch::Add(const std::string& path) {
    FileResult result;
    const int fd = Create(path, &result);
    return fd < 0 ? result : CloseWritten(fd, path, {});
}

FileResult COutputBatch::Write(const std::string& path, const void* pData, std::size_t size) {
    FileResult result;
    const int fd = Create(path, &result);
    return fd < 0 ? result : CloseWritten(fd, path, AppendWhole(fd, path, pData, size));
}

int COutputBatch::OpenAddedFile(const std::string& path, FileResult* result) {
    std::string temp;
    {
        std::lock_guard lock(m_mutex);
        const auto member = m_byPath.find(path);
        if (member == m_byPath.end()) {
            *result = FileResult::FromErrno("write", path, ENOENT);
            return -1;
        }
        temp = m_members[member->second].aside.path;
    }
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        *result = FileResult::FromErrno("write", path, errno);
    }
    return fd;
}

FileResult COutputBatch::OpenAdded(const std::string& path, int* fd) {
    FileResult result;
    *fd = OpenAddedFile(path, &result);
    return result;
}

FileResult COutputBatch::Append(const std::string& path, const void* pData, std::size_t size) {
    FileResult result;
    const int fd = OpenAddedFile(path, &result);
    return fd < 0 ? result : CloseWritten(fd, path, AppendWhole(fd, path, pData, size));
}

FileResult COutputBatch::Resize(const std::string& path, std::uint64_t size) {
    FileResult result;
    const int fd = OpenAddedFile(path, &result);
    if (fd >= 0 && ::ftruncate(fd, off_t(size)) != 0) {
        result = FileResult::FromErrno("write", path, errno);
    }
    return fd < 0 ? result : CloseWritten(fd, path, result);
}

void COutputBatch::Drop(const std::string& path) {
    std::lock_guard lock(m_mutex);
    if (const auto member = m_byPath.find(path); member != m_byPath.end()) {
        RemoveAsideFile(&m_members[member->second].aside);
    }
}

FileResult COutputBatch::Commit() {
    std::set<std::string> folders;
    std::set<dev_t> devices;
    for (const Member& member : m_members) {
        if (!member.aside.path.empty()) {
            folders.insert(FolderOf(member.target.path));
        }
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
            return FileResult::FromErrno("write", folder, reason);
        }
        ::close(fd);
    }
    for (Member& member : m_members) {
        if (member.aside.path.empty()) {
            continue;  // dropped
        }
        if (const FileResult placed =
                PutAsideFileInPlace(member.path, member.target, &member.aside);
            !placed) {
            RemoveTemporaryFiles();
            return placed;
        }
    }
    RemoveTemporaryFiles();  // nothing is left to remove; this forgets the members
    // The new names reach the disk too.
    for (const std::string& folder : folders) {
        const int fd = OpenFolder(folder);
        if (fd < 0 || ::fsync(fd) != 0) {
            const int reason = errno;
            if (fd >= 0) {
                ::close(fd);
            }
            return FileResult::FromErrno("write", folder, reason);
        }
        ::close(fd);
    }
    return {};
}
