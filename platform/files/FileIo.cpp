#include "platform/files/FileIo.h"

namespace {

// offset < 0: read from the file position.
bool ReadLoop(int fd, void* pData, std::size_t size, off_t offset) {
    char* pBytes = static_cast<char*>(pData);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t count = offset < 0
                                  ? ::read(fd, pBytes + done, size - done)
                                  : ::pread(fd, pBytes + done, size - done, offset + off_t(done));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            if (count == 0) {
                errno = 0;
            }
            return false;
        }
        done += std::size_t(count);
    }
    return true;
}

}  // namespace

bool ReadFully(int fd, void* pData, std::size_t size) {
    return ReadLoop(fd, pData, size, -1);
}

bool ReadFullyAt(int fd, void* pData, std::size_t size, off_t offset) {
    return ReadLoop(fd, pData, size, offset);
}
