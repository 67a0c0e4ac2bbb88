#include "processing/FlatField.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>

#include "platform/files/AtomicFile.h"
#include "platform/files/FileIo.h"
#include "platform/files/InputFile.h"
#include "sensor/SampleGeometry.h"

namespace {

constexpr std::array<char, 8> kMagic = {'P', 'A', 'N', 'D', 'R', 'Y', 'F', 'L'};
constexpr std::uint32_t kVersion = 1;

std::uint32_t ReadLe32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void WriteLe32(std::uint32_t value, unsigned char* p) {
    for (int b = 0; b < 4; ++b) {
        p[b] = static_cast<unsigned char>(value >> (8 * b));
    }
}

// (raw - dark) x factor, rounded to nearest with halves up; 64-bit so that a foreign dark
// image's values cannot overflow.
std::int64_t FlatLevel(std::uint8_t raw, std::int32_t dark, std::int32_t factor) {
    const std::int64_t above = std::int64_t{raw} - dark;
    return (above * factor + kFlatFactorOne / 2) >> 16;
}

}  // namespace

FileResult LoadFlatFile(const std::string& path, FlatImage* flat) {
    int fd = -1;
    if (FileResult opened = OpenRegularInput(path, &fd); !opened) {
        return opened;
    }
    struct stat info {};
    std::vector<unsigned char> bytes(kFlatFileBytes);
    const bool whole = ::fstat(fd, &info) == 0 && std::size_t(info.st_size) == bytes.size() &&
                       ReadFully(fd, bytes.data(), bytes.size());
    ::close(fd);
    if (!whole || !std::equal(kMagic.begin(), kMagic.end(), bytes.begin())) {
        return FileResult::Failure(path + " is no flat image (" + std::to_string(kFlatFileBytes) +
                                   " bytes starting PANDRYFL)");
    }
    if (const std::uint32_t version = ReadLe32(&bytes[8]); version != kVersion) {
        return FileResult::Failure(path + " is a flat image of version " + std::to_string(version) +
                                   ", which this program cannot read");
    }
    FlatImage read;
    read.frames = ReadLe32(&bytes[12]);
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        const float level = std::bit_cast<float>(ReadLe32(&bytes[kFlatHeaderBytes + 4 * i]));
        if (!std::isfinite(level)) {
            return FileResult::Failure(path + " holds a level that is not a number at sample " +
                                       std::to_string(i));
        }
        read.levels[i] = level;
    }
    *flat = std::move(read);
    return {};
}

FileResult StoreFlatFile(const std::string& path, const FlatImage& flat) {
    std::vector<unsigned char> bytes(kFlatFileBytes);
    std::copy(kMagic.begin(), kMagic.end(), bytes.begin());
    WriteLe32(kVersion, &bytes[8]);
    WriteLe32(flat.frames, &bytes[12]);
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        WriteLe32(std::bit_cast<std::uint32_t>(flat.levels[i]), &bytes[kFlatHeaderBytes + 4 * i]);
    }
    CAtomicFile file;
    FileResult written = file.Open(path);
    if (written) {
        written = file.Write(bytes.data(), bytes.size());
    }
    return written ? file.Commit() : written;
}

FlatImage FlatFromSums(const std::vector<std::uint32_t>& sums, std::uint32_t frames,
                       const std::int32_t* pDark) {
    FlatImage flat;
    flat.frames = frames;
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        const double dark = pDark != nullptr ? pDark[i] : 0;
        flat.levels[i] = float(double(sums[i]) / frames - dark);
    }
    return flat;
}

double FlatMean(const FlatImage& flat) {
    const SampleGeometry& geometry = SensorSampleGeometry();
    double sum = 0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        if (geometry.physical[i] && flat.levels[i] > 0) {
            sum += flat.levels[i];
            ++count;
        }
    }
    return count == 0 ? 0 : sum / double(count);
}

std::vector<std::int32_t> FlatFactors(const FlatImage& flat) {
    const SampleGeometry& geometry = SensorSampleGeometry();
    const double mean = FlatMean(flat);
    std::vector<std::int32_t> factors(kFrameBytes, kFlatFactorOne);
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        if (geometry.physical[i] && flat.levels[i] > 0) {
            const double factor = std::floor(mean / flat.levels[i] * kFlatFactorOne + 0.5);
            factors[i] = std::int32_t(std::min(factor, double(kMostFlatFactor)));
        }
    }
    return factors;
}

void CorrectWithFlat(const GainTable& table, std::uint8_t* pDestination, const std::uint8_t* pRaw,
                     const std::int32_t* pCalibration, const std::int32_t* pFactors, int offset) {
    const std::uint8_t* pLevels = table.data();
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        const std::int64_t v = FlatLevel(pRaw[i], pCalibration[i], pFactors[i]) + offset;
        pDestination[i] = pLevels[std::clamp<std::int64_t>(v, 0, 255)];
    }
}

void FlatCorrectedLevels(std::uint8_t* pDestination, const std::uint8_t* pRaw,
                         const std::int32_t* pCalibration, const std::int32_t* pFactors) {
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        const std::int64_t v = FlatLevel(pRaw[i], pCalibration[i], pFactors[i]);
        pDestination[i] = std::uint8_t(std::clamp<std::int64_t>(v, 0, 255));
    }
}

// "flat image of 16 frames: 24.1 levels above dark on average, spread 9.8 %, 0 samples
// without light": what an operator checks before trusting it.
std::string DescribeFlat(const FlatImage& flat) {
    const double mean = FlatMean(flat);
    const SampleGeometry& geometry = SensorSampleGeometry();
    double squares = 0;
    std::size_t lit = 0;
    std::size_t unlit = 0;
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        if (!geometry.physical[i]) {
            continue;
        }
        if (flat.levels[i] > 0) {
            squares += (flat.levels[i] - mean) * (flat.levels[i] - mean);
            ++lit;
        } else {
            ++unlit;
        }
    }
    char text[160];
    std::snprintf(text, sizeof text,
                  "flat image of %u frames: %.1f levels above dark on average, spread %.1f %%, "
                  "%zu samples without light",
                  flat.frames, mean,
                  lit > 0 && mean > 0 ? 100 * std::sqrt(squares / lit) / mean : 0, unlit);
    return text;
}

void CFlatSums::Add(const std::uint8_t* pFrame) {
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        m_sums[i] += pFrame[i];
    }
    ++m_nFrames;
}
