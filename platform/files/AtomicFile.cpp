#include "platform/files/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "platform/files/FileIo.h"
#include "platform/files/TempFileCleanup.h"

namespace {

std::atomic<unsigned> g_nTempCounter{0};

}  // namespace

FileResult CAtomicFile::Open(const std::string& path) {
    Discard();
    m_strPath = path;
    m_failure = ResolveOutputTarget(m_strPath, &m_target);
    if (!m_failure) {
        return m_failure;
    }
    m_strTempPath = TemporaryNameBeside(m_target.path, ++g_nTempCounter);
    m_nCleanupTicket = RememberTemporaryFile(m_strTempPath);
    // 0666 before the umask, as a plain fopen("wb") would create it.
    m_nFd = open(m_strTempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_nFd < 0) {
        const int error = errno;
        ForgetTemporaryFile(m_nCleanupTicket);
        m_nCleanupTicket = -1;
        m_strTempPath.clear();
        return Fail(error);
    }
    if (m_target.exists) {
        // Best effort: only root may give the file back to another owner.
        [[maybe_unused]] int ignored = fchown(m_nFd, m_target.owner, m_target.group);
        fchmod(m_nFd, m_target.mode);
    }
    return {};
}

CAtomicFile::~CAtomicFile() {
    Discard();
}

const FileResult& CAtomicFile::Fail(int error) {
    if (m_failure) {
        m_failure = FileResult::FromErrno("write", m_strPath, error);
    }
    return m_failure;
}

FileResult CAtomicFile::Write(const void* pData, std::size_t size) {
    if (!m_failure) {
        return m_failure;
    }
    if (!IsOpen()) {
        return Fail(EBADF);
    }
    if (!WriteFully(m_nFd, pData, size)) {
        return Fail(errno != 0 ? errno : ENOSPC);
    }
    return {};
}

FileResult CAtomicFile::Commit() {
    if (!IsOpen() || !m_failure) {
        const FileResult failure = m_failure ? Fail(EBADF) : m_failure;
        Discard();
        return failure;
    }
    if (fsync(m_nFd) != 0) {
        (void)Fail(errno);
    }
    if (close(m_nFd) != 0) {
        (void)Fail(errno);
    }
    m_nFd = -1;
    if (m_failure && std::rename(m_strTempPath.c_str(), m_target.path.c_str()) != 0) {
        (void)Fail(errno);
    }
    if (!m_failure) {
        Discard();
        return m_failure;
    }
    ForgetTemporaryFile(m_nCleanupTicket);
    m_nCleanupTicket = -1;
    m_strTempPath.clear();
    return {};
}

void CAtomicFile::Discard() {
    if (m_nFd >= 0) {
        close(m_nFd);
        m_nFd = -1;
    }
    if (!m_strTempPath.empty()) {
        unlink(m_strTempPath.c_str());
        m_strTempPath.clear();
    }
    ForgetTemporaryFile(m_nCleanupTicket);
    m_nCleanupTicket = -1;
}

FileResult WriteFileAtomically(const std::string& path, const void* pData, std::size_t size) {
    CAtomicFile file;
    FileResult result = file.Open(path);
    if (result) {
        result = file.Write(pData, size);
    }
    if (result) {
        result = file.Commit();
    }
    return result;
}
