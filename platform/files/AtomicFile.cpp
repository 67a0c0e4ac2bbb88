#include "platform/files/AtomicFile.h"

#include <unistd.h>

#include <cerrno>

#include "platform/files/FileIo.h"

FileResult CAtomicFile::Open(const std::string& path) {
    Discard();
    m_strPath = path;
    m_failure = ResolveOutputTarget(m_strPath, &m_target);
    if (m_failure) {
        m_failure = CreateAsideFile(m_strPath, m_target, &m_aside);
    }
    return m_failure;
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
    if (!WriteFully(m_aside.fd, pData, size)) {
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
    if (::fsync(m_aside.fd) != 0) {
        (void)Fail(errno);
    }
    if (::close(m_aside.fd) != 0) {
        (void)Fail(errno);
    }
    m_aside.fd = -1;
    if (m_failure) {
        m_failure = PutAsideFileInPlace(m_strPath, m_target, &m_aside);
    }
    const FileResult result = m_failure;
    Discard();
    return result;
}

void CAtomicFile::Discard() {
    RemoveAsideFile(&m_aside);
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
