#pragma once

#include <cstddef>
#include <string>

#include "platform/files/AsideFile.h"
#include "platform/files/FileResult.h"
#include "platform/files/OutputTarget.h"

// Writes a file under a temporary name beside its destination and renames it into place
// only when every byte was written and the file closed cleanly, so a reader never finds a
// truncated file and a failed write leaves the previous file as it was.
//
// The destination must be a regular file we may write, or not exist; a symbolic link is
// followed and the file it names replaced, keeping its permissions. A signal that ends the
// process removes the temporary file. The file aside is made as CreateAsideFile makes it.
class CAtomicFile {
  public:
    CAtomicFile() = default;
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;
    ~CAtomicFile();  // discards the temporary file unless Commit succeeded

    // Checks the destination and creates the temporary file beside it.
    FileResult Open(const std::string& path);
    bool IsOpen() const { return m_aside.fd >= 0; }
    // The temporary file's descriptor, for a writer of its own (libtiff, a child process);
    // it stays ours, and Commit flushes whatever was written through it.
    int Descriptor() const { return m_aside.fd; }
    // After a failure every later Write and the Commit report that first failure again.
    FileResult Write(const void* pData, std::size_t size);
    // Flushes, closes and renames; on failure nothing is replaced.
    FileResult Commit();

  private:
    const FileResult& Fail(int error);  // keeps the first failure
    void Discard();

    std::string m_strPath;  // as the caller named it, for messages
    OutputTarget m_target;
    AsideFile m_aside;
    FileResult m_failure;  // the first step that failed
};

// A whole file written at once through CAtomicFile.
FileResult WriteFileAtomically(const std::string& path, const void* pData, std::size_t size);
