#include "export/PictureWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/files/AtomicFile.h"
#include "platform/files/FileIo.h"

std::string LowerExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    if (!extension.empty()) {
        extension.erase(0, 1);
    }
    for (char& c : extension) {
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    return extension;
}

std::unique_ptr<IPictureWriter> PictureWriterFor(const std::string& path) {
    const std::string extension = LowerExtension(path);
    if (extension == "png") {
        return MakePngWriter();
    }
    if (extension == "tif" || extension == "tiff") {
        return MakeTiffWriter();
    }
    if (extension == "bmp") {
        return MakeBmpWriter();
    }
    if (extension == "pgm" || extension == "ppm") {
        return MakePnmWriter();
    }
    return nullptr;
}

namespace {

// Written aside and renamed, without waiting for the disk.
bool WriteWithoutFlush(const std::string& path, const void* pData, std::size_t size,
                       std::string* error) {
    const std::string temp = path + ".tmp-" + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool whole = WriteFully(fd, pData, size);
    const int writeErrno = whole ? 0 : (errno ? errno : ENOSPC);
    const bool closed = ::close(fd) == 0;
    if (!whole || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
        *error = "cannot write " + path + ": " + std::strerror(writeErrno ? writeErrno : errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool WriteWholeFile(const std::string& path, const void* pData, std::size_t size, bool flush,
                    std::string* error) {
    if (!flush) {
        return WriteWithoutFlush(path, pData, size, error);
    }
    const FileResult written = WriteFileAtomically(path, pData, size);
    if (!written) {
        *error = written.Error();
    }
    return bool(written);
}
