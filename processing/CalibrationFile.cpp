#include "processing/CalibrationFile.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "processing/AtomicFile.h"
#include "sensor/LogPolarFrame.h"

namespace {

constexpr std::size_t kValuesPerChunk = 1024;
constexpr std::size_t kValueBytes = 4;

}  // namespace

bool LoadCalibrationFile(const char* path, std::int32_t* pCalibration) {
    std::FILE* pFile = std::fopen(path, "rb");
    if (pFile == nullptr) {
        return false;
    }
    std::array<unsigned char, kValuesPerChunk * kValueBytes> bytes;
    std::size_t loaded = 0;
    while (loaded < kFrameBytes) {
        const std::size_t wanted = std::min(kValuesPerChunk, kFrameBytes - loaded);
        const std::size_t got = std::fread(bytes.data(), kValueBytes, wanted, pFile);
        for (std::size_t k = 0; k < got; ++k) {
            const unsigned char* p = &bytes[k * kValueBytes];
            pCalibration[loaded + k] =
                static_cast<std::int32_t>(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                                          std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24);
        }
        loaded += got;
        if (got < wanted) {
            break;  // a short file: the values not read keep what they held
        }
    }
    std::fclose(pFile);
    return true;
}

bool StoreCalibrationFile(const char* path, const std::int32_t* pCalibration) {
    CAtomicFile file(path);
    std::array<unsigned char, kValuesPerChunk * kValueBytes> bytes;
    for (std::size_t first = 0; first < kFrameBytes; first += kValuesPerChunk) {
        const std::size_t count = std::min(kValuesPerChunk, kFrameBytes - first);
        for (std::size_t k = 0; k < count; ++k) {
            const auto value = static_cast<std::uint32_t>(pCalibration[first + k]);
            for (std::size_t b = 0; b < kValueBytes; ++b) {
                bytes[k * kValueBytes + b] = static_cast<unsigned char>(value >> (8 * b));
            }
        }
        if (!file.Write(bytes.data(), count * kValueBytes)) {
            return false;
        }
    }
    return file.Commit();
}
