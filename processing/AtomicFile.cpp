#include "processing/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/files/TempFileCleanup.h"

namespace {

std::atomic<unsigned> g_nTempCounter{0};
thread_local std::string t_strLastError;

}  // namespace

const std::string& LastFileWriteError() {
    return t_strLastError;
}

CAtomicFile::CAtomicFile(const char* path) : m_strPath(path != nullptr ? path : "") {
    t_strLastError.clear();
    if (!ResolveOutputTarget(m_strPath, &m_target, &m_strError)) {
        t_strLastError = m_strError;
        return;
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
        Fail(error);
        return;
    }
    if (m_target.exists) {
        // Best effort: only root may give the file back to another owner.
        [[maybe_unused]] int ignored = fchown(m_nFd, m_target.owner, m_target.group);
        fchmod(m_nFd, m_target.mode);
    }
}

CAtomicFile::~CAtomicFile() {
    Discard();
}

void CAtomicFile::Fail(int error) {
    if (m_strError.empty()) {
        m_strError = "cannot write " + m_strPath + ": " + std::strerror(error);
        t_strLastError = m_strError;
    }
}

bool CAtomicFile::Write(const void* pData, std::size_t size) {
    if (!IsOpen() || !m_strError.empty()) {
        return false;
    }
    const char* pBytes = static_cast<const char*>(pData);
    while (size > 0) {
        const ssize_t written = write(m_nFd, pBytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            Fail(written < 0 ? errno : ENOSPC);
            return false;
        }
        pBytes += written;
        size -= std::size_t(written);
    }
    return true;
}

bool CAtomicFile::Commit() {
    if (!IsOpen() || !m_strError.empty()) {
        Discard();
        return false;
    }
    if (fsync(m_nFd) != 0) {
        Fail(errno);
    }
    if (close(m_nFd) != 0) {
        Fail(errno);
    }
    m_nFd = -1;
    if (m_strError.empty() && std::rename(m_strTempPath.c_str(), m_target.path.c_str()) != 0) {
        Fail(errno);
    }
    if (!m_strError.empty()) {
        Discard();
        return false;
    }
    ForgetTemporaryFile(m_nCleanupTicket);
    m_nCleanupTicket = -1;
    m_strTempPath.clear();
    return true;
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
