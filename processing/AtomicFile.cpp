#include "processing/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace {

std::atomic<unsigned> g_nTempCounter{0};

std::string TempPathFor(const std::string& path) {
    return path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(++g_nTempCounter);
}

}  // namespace

CAtomicFile::CAtomicFile(const char* path) : m_strPath(path != nullptr ? path : "") {
    if (m_strPath.empty()) {
        return;
    }
    m_strTempPath = TempPathFor(m_strPath);
    // 0666 before the umask, as a plain fopen("wb") would create it.
    m_nFd = open(m_strTempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

CAtomicFile::~CAtomicFile() {
    Discard();
}

bool CAtomicFile::Write(const void* pData, std::size_t size) {
    if (!IsOpen() || m_bFailed) {
        return false;
    }
    const char* pBytes = static_cast<const char*>(pData);
    while (size > 0) {
        const ssize_t written = write(m_nFd, pBytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            m_bFailed = true;
            return false;
        }
        pBytes += written;
        size -= std::size_t(written);
    }
    return true;
}

bool CAtomicFile::Commit() {
    if (!IsOpen() || m_bFailed) {
        Discard();
        return false;
    }
    const bool synced = fsync(m_nFd) == 0;
    const bool closed = close(m_nFd) == 0;
    m_nFd = -1;
    if (!synced || !closed || std::rename(m_strTempPath.c_str(), m_strPath.c_str()) != 0) {
        unlink(m_strTempPath.c_str());
        m_strTempPath.clear();
        return false;
    }
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
}
