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

CalibrationLoad LoadCalibrationFile(const char* path, std::int32_t* pCalibration,
                                    std::string* error) {
    struct stat info {};
    if (::stat(path, &info) != 0 && errno == ENOENT) {
        return CalibrationLoad::kMissing;
    }
    int fd = -1;
    if (const FileResult opened = OpenRegularInput(path, &fd); !opened) {
        *error = opened.Error();
        return CalibrationLoad::kRefused;
    }
    std::vector<unsigned char> bytes(kCalibrationFileBytes);
    const bool whole = ::fstat(fd, &info) == 0 && std::size_t(info.st_size) == bytes.size() &&
                       ReadFully(fd, bytes.data(), bytes.size());
    ::close(fd);
    if (!whole) {
        *error = std::string(path) + " holds " + std::to_string(info.st_size) + " bytes, not a " +
                 std::to_string(kCalibrationFileBytes) + "-byte dark image";
        return CalibrationLoad::kRefused;
    }
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        const unsigned char* p = &bytes[i * kValueBytes];
        pCalibration[i] =
            static_cast<std::int32_t>(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                                      std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24);
    }
    return CalibrationLoad::kLoaded;
}

bool StoreCalibrationFile(const char* path, const std::int32_t* pCalibration, std::string* error) {
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
    if (written) {
        written = file.Commit();
    }
    if (!written && error != nullptr) {
        *error = written.Error();
    }
    return bool(written);
}
