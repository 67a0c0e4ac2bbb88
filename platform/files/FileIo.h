#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

// Whole reads and writes, retried where a signal interrupted them: the one loop every
// file's bytes go through.

// Writes all size bytes with write (::write, or a stand-in a test injects). False when a
// write failed (errno says why) or took nothing (errno is then 0).
template <class WriteCall>
bool WriteFullyWith(WriteCall&& write, int fd, const void* pData, std::size_t size) {
    const char* pBytes = static_cast<const char*>(pData);
    while (size > 0) {
        const ssize_t written = write(fd, pBytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = 0;
            }
            return false;
        }
        pBytes += written;
        size -= std::size_t(written);
    }
    return true;
}

inline bool WriteFully(int fd, const void* pData, std::size_t size) {
    return WriteFullyWith(::write, fd, pData, size);
}

// Reads all size bytes from the file position (ReadFully) or from offset (ReadFullyAt).
// False when a read failed (errno says why) or the file ended first (errno is then 0).
bool ReadFully(int fd, void* pData, std::size_t size);
bool ReadFullyAt(int fd, void* pData, std::size_t size, off_t offset);
