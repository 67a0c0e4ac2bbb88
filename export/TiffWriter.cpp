#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "export/MetadataText.h"
#include "export/PictureWriter.h"
#include "export/TiffMessages.h"
#include "export/TiffPictureTags.h"

namespace {

// A growable in-memory file for libtiff's client interface.
struct MemoryFile {
    std::vector<std::uint8_t> bytes;
    toff_t position = 0;
};

tsize_t ReadProc(thandle_t handle, tdata_t data, tsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (file->position >= file->bytes.size()) {
        return 0;
    }
    const std::size_t count =
        std::min<std::size_t>(std::size_t(size), file->bytes.size() - file->position);
    std::memcpy(data, file->bytes.data() + file->position, count);
    file->position += count;
    return tsize_t(count);
}

tsize_t WriteProc(thandle_t handle, tdata_t data, tsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    const std::size_t end = std::size_t(file->position) + std::size_t(size);
    if (end > file->bytes.size()) {
        file->bytes.resize(end);
    }
    std::memcpy(file->bytes.data() + file->position, data, std::size_t(size));
    file->position = end;
    return size;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    toff_t base = whence == SEEK_CUR ? file->position : whence == SEEK_END ? file->bytes.size() : 0;
    file->position = base + offset;
    return file->position;
}

int CloseProc(thandle_t) {
    return 0;
}

toff_t SizeProc(thandle_t handle) {
    return static_cast<MemoryFile*>(handle)->bytes.size();
}

int MapProc(thandle_t, tdata_t*, toff_t*) {
    return 0;
}

void UnmapProc(thandle_t, tdata_t, toff_t) {}

// Uncompressed strips: the fastest to write and read by every tool.
class CTiffWriter : public IPictureWriter {
  public:
    FileResult Write(const Picture& picture, const PictureText& text,
                     const std::string& path) override {
        // The buffer is kept from file to file: a fresh one costs a page fault every 4 KB.
        MemoryFile& file = m_file;
        file.bytes.clear();
        file.position = 0;
        CTiffMessages messages;
        TIFF* tiff = TIFFClientOpenExt(path.c_str(), "w", &file, ReadProc, WriteProc, SeekProc,
                                       CloseProc, SizeProc, MapProc, UnmapProc, messages.Options());
        if (tiff == nullptr) {
            return FileResult::Failure("cannot encode " + path +
                                       " as TIFF: " + messages.Reason("libtiff refused it"));
        }
        const int channels = picture.grey ? 1 : 3;
        const std::string description = AsciiLine(text.Describe());
        SetPictureTags(tiff, picture);
        TIFFSetField(tiff, TIFFTAG_IMAGEDESCRIPTION, description.c_str());
        const std::vector<std::uint8_t> grey =
            picture.grey ? picture.GreyPlane() : std::vector<std::uint8_t>{};
        const std::uint8_t* pPixels = picture.grey ? grey.data() : picture.rgb.data();
        const tsize_t size = tsize_t(picture.width) * picture.height * channels;
        const bool encoded =
            TIFFWriteEncodedStrip(tiff, 0, const_cast<std::uint8_t*>(pPixels), size) == size;
        TIFFClose(tiff);
        if (!encoded) {
            return FileResult::Failure("cannot encode " + path +
                                       " as TIFF: " + messages.Reason("libtiff failed"));
        }
        return WriteWholeFile(path, file.bytes.data(), file.bytes.size(), m_pBatch);
    }

  private:
    MemoryFile m_file;
};

}  // namespace

std::unique_ptr<IPictureWriter> MakeTiffWriter() {
    return std::make_unique<CTiffWriter>();
}
