#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include "export/MetadataText.h"
#include "export/PictureWriter.h"
#include "sensor/Defaults.h"

namespace {

// Speed over size: the fastest zlib level with the Sub filter compresses these pictures to
// about half in a fraction of the time the default level takes.
constexpr int kCompressionLevel = 1;

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* pOut = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    pOut->insert(pOut->end(), data, data + length);
}

void NoFlush(png_structp) {}

// libpng's first error kept for our one line instead of printed; warnings are dropped.
constexpr std::size_t kMessageBytes = 256;
void KeepError(png_structp png, png_const_charp message) {
    char* pKept = static_cast<char*>(png_get_error_ptr(png));
    if (pKept[0] == 0) {
        std::snprintf(pKept, kMessageBytes, "%s", message);
    }
    png_longjmp(png, 1);
}
void IgnoreWarning(png_structp, png_const_charp) {}

// Encodes in memory; false on any libpng error. Kept apart from objects with destructors,
// which libpng's longjmp would skip.
bool Encode(const Picture& picture, const std::uint8_t* pPixels, const char* const* values,
            int count, std::vector<std::uint8_t>* pOut, char* pError) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, pError, &KeepError, &IgnoreWarning);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, pOut, &AppendBytes, &NoFlush);
    png_set_compression_level(png, kCompressionLevel);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    const int channels = picture.grey ? 1 : 3;
    png_set_IHDR(png, info, png_uint_32(picture.width), png_uint_32(picture.height), 8,
                 picture.grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_text entries[4] = {};
    const char* keys[4] = {"Software", "Description", "Frame", "Time us"};
    for (int i = 0; i < count; ++i) {
        entries[i].compression = PNG_TEXT_COMPRESSION_NONE;
        entries[i].key = const_cast<char*>(keys[i]);
        entries[i].text = const_cast<char*>(values[i]);
    }
    png_set_text(png, info, entries, count);
    png_write_info(png, info);
    const std::size_t rowBytes = std::size_t(picture.width) * channels;
    for (int row = 0; row < picture.height; ++row) {
        png_write_row(png, pPixels + row * rowBytes);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

class CPngWriter : public IPictureWriter {
  public:
    FileResult Write(const Picture& picture, const PictureText& text,
                     const std::string& path) override {
        if (picture.grey) {
            m_grey = picture.GreyPlane();
        }
        m_encoded.clear();
        const std::string description = AsciiLine(text.Describe());
        const std::string frame = std::to_string(text.frame);
        const std::string time = std::to_string(text.timeUs);
        const char* values[4] = {kProductName, description.c_str(), frame.c_str(), time.c_str()};
        char problem[kMessageBytes] = "";
        if (!Encode(picture, picture.grey ? m_grey.data() : picture.rgb.data(), values,
                    text.timeUs >= 0 ? 4 : 3, &m_encoded, problem)) {
            return FileResult::Failure("cannot encode " + path + " as PNG" +
                                       (problem[0] != 0 ? ": " + OneLine(problem) : ""));
        }
        return WriteWholeFile(path, m_encoded.data(), m_encoded.size(), m_pBatch);
    }

  private:
    std::vector<std::uint8_t> m_grey;
    std::vector<std::uint8_t> m_encoded;
};

}  // namespace

std::unique_ptr<IPictureWriter> MakePngWriter() {
    return std::make_unique<CPngWriter>();
}
