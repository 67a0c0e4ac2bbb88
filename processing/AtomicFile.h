#pragma once

#include <cstddef>
#include <string>

#include "platform/files/OutputTarget.h"

// Writes a file under a temporary name beside its destination and renames it into place
// only when every byte was written and the file closed cleanly, so a reader never finds a
// truncated file and a failed write leaves the previous file as it was.
//
// The destination must be a regular file we may write, or not exist; a symbolic link is
// followed and the file it names replaced, keeping its permissions. A signal that ends the
// process removes the temporary file.
class CAtomicFile {
  public:
    explicit CAtomicFile(const char* path);
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;
    ~CAtomicFile();  // discards the temporary file unless Commit succeeded

    bool IsOpen() const { return m_nFd >= 0; }
    bool Write(const void* pData, std::size_t size);
    // Flushes, closes and renames; false (and nothing replaced) when any step failed.
    bool Commit();
    // "cannot write NAME: reason" for the first step that failed; empty while all is well.
    const std::string& Error() const { return m_strError; }

  private:
    void Fail(int error);
    void Discard();

    std::string m_strPath;  // as the caller named it, for messages
    OutputTarget m_target;
    std::string m_strTempPath;
    int m_nFd = -1;
    int m_nCleanupTicket = -1;
    std::string m_strError;
};

// The Error() of the last CAtomicFile made on this thread, empty when it has not failed
// (writers that report only 0 or 1 leave their reason here).
const std::string& LastFileWriteError();
