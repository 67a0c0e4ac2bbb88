#include <array>

#include "platform/files/AtomicFile.h"
#include "processing/FrameProcessor.h"

namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kInfoHeaderBytes = 40;
constexpr std::size_t kFillerBytes = 4;
constexpr std::size_t kHeaderBytes = kFileHeaderBytes + kInfoHeaderBytes + kFillerBytes;  // 58
constexpr std::int32_t kPixelsPerMetre = 10000;

using BmpHeader = std::array<std::uint8_t, kHeaderBytes>;

void Put16(BmpHeader& header, std::size_t offset, std::uint32_t value) {
    header[offset] = static_cast<std::uint8_t>(value);
    header[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(BmpHeader& header, std::size_t offset, std::uint32_t value) {
    Put16(header, offset, value);
    Put16(header, offset + 2, value >> 16);
}

BmpHeader MakeHeader(int width, int height) {
    BmpHeader header{};  // every field not set below is 0, the file size among them
    header[0] = 'B';
    header[1] = 'M';
    Put32(header, 10, kHeaderBytes);
    Put32(header, 14, kInfoHeaderBytes);
    Put32(header, 18, static_cast<std::uint32_t>(width));
    Put32(header, 22, static_cast<std::uint32_t>(height));
    Put16(header, 26, 1);   // planes
    Put16(header, 28, 24);  // bits per pixel
    Put32(header, 38, kPixelsPerMetre);
    Put32(header, 42, kPixelsPerMetre);
    return header;
}

}  // namespace

FileResult CFrameProcessor::WriteBmp(const std::uint8_t* pPixels, int width, int height,
                                     const char* path) {
    if (path == nullptr) {
        return FileResult::Failure("cannot write a picture without a file name");
    }
    if (pPixels == nullptr || width <= 0 || height <= 0) {
        return FileResult::Failure(std::string("cannot write ") + path + ": there is no picture");
    }
    const BmpHeader header = MakeHeader(width, height);
    CAtomicFile file;
    FileResult result = file.Open(path);
    if (result) {
        result = file.Write(header.data(), header.size());
    }
    if (result) {
        result = file.Write(pPixels, std::size_t(width) * std::size_t(height) * 3);
    }
    if (result) {
        result = file.Commit();
    }
    return result;
}
