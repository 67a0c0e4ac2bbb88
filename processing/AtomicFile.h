#pragma once

#include <cstddef>
#include <string>

// Writes a file under a temporary name beside its destination and renames it into place
// only when every byte was written and the file closed cleanly, so a reader never finds a
// truncated file and a failed write leaves the previous file as it was.
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

  private:
    void Discard();

    std::string m_strPath;
    std::string m_strTempPath;
    int m_nFd = -1;
    bool m_bFailed = false;
};
