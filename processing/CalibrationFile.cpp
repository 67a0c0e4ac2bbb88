#include "processing/CalibrationFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <vector>

#include "platform/files/AtomicFile.h"
#include "platform/files/FileIo.h"
#include "platform/files/InputFile.h"
#include "sensor/LogPolarFrame.h"

namespace {

constexpr std::size_t kValuesPerChunk = 1024;
constexpr std::size_t kValueBytes = 4;

}  // namespace

FileResult LoadCalibrationFile(const std::string& path, std::int32_t* pCalibration) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 && errno == ENOENT) {
        return FileResult::FromErrno("read", path, ENOENT);
    }
    int fd = -1;
    if (FileResult opened = OpenRegularInput(path, &fd); !opened) {
        return opened;
    }
    std::vector<unsigned char> bytes(kCalibrationFileBytes);
    const bool whole = ::fstat(fd, &info) == 0 && std::size_t(info.st_size) == bytes.size() &&
                       ReadFully(fd, bytes.data(), bytes.size());
    ::close(fd);
    if (!whole) {
        return FileResult::Failure(path + " holds " + std::to_string(info.st_size) +
                                   " bytes, not a " + std::to_string(kCalibrationFileBytes) +
                                   "-byte dark image");
    }
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        const unsigned char* p = &bytes[i * kValueBytes];
        pCalibration[i] =
            static_cast<std::int32_t>(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                                      std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24);
    }
    return {};
}

FileResult StoreCalibrationFile(const std::string& path, const std::int32_t* pCalibration) {
    CAtomicFile file;
    FileResult written = file.Open(path);
    std::array<unsigned char, kValuesPerChunk * kValueBytes> bytes;
    for (std::size_t first = 0; first < kFrameBytes && written; first += kValuesPerChunk) {
        const std::size_t count = std::min(kValuesPerChunk, kFrameBytes - first);
        for (std::size_t k = 0; k < count; ++k) {
            const auto value = static_cast<std::uint32_t>(pCalibration[first + k]);
            for (std::size_t b = 0; b < kValueBytes; ++b) {
                bytes[k * kValueBytes + b] = static_cast<unsigned char>(value >> (8 * b));
            }
        }
        written = file.Write(bytes.data(), count * kValueBytes);
    }
    return written ? file.Commit() : written;
}

void AverageDarkFrames(const std::uint8_t* const* ppFrames, int count, std::int32_t* pDark) {
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        int sum = 0;
        for (int f = 0; f < count; ++f) {
            sum += ppFrames[f][i];
        }
        pDark[i] = (sum + count / 2) / count;
    }
}
