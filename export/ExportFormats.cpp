#include "export/ExportFormats.h"

#include <vector>

#include "export/PictureWriter.h"

namespace {

// In the order help texts list them and the Save dialog offers them (BMP first: its
// default). Columns: extension, description, kind, writer, values, stack, lossless,
// exported, converted, saved from the viewer.
const ExportFormat kFormats[] = {
    {"bmp", "Bitmap Files", FormatKind::kPictures, MakeBmpWriter, kEveryValue, false, false, true,
     true, true},
    {"png", "PNG Files", FormatKind::kPictures, MakePngWriter, kEveryValue, false, false, true,
     true, true},
    {"tif", "TIFF Files", FormatKind::kPictures, MakeTiffWriter, kEveryValue, true, false, true,
     true, false},
    {"tiff", "TIFF Files", FormatKind::kPictures, MakeTiffWriter, kEveryValue, true, false, true,
     true, false},
    {"pgm", "PGM Files", FormatKind::kPictures, MakePnmWriter, kEveryValue, false, false, true,
     true, false},
    {"ppm", "PPM Files", FormatKind::kPictures, MakePnmWriter, kEveryValue, false, false, true,
     true, false},
    {"y4m", "YUV4MPEG2 Streams", FormatKind::kStream, nullptr, kEveryValue, false, false, true,
     false, false},
    {"mp4", "MP4 Videos", FormatKind::kVideo, nullptr, kEveryValue, false, false, true, false,
     false},
    {"mkv", "Matroska Videos", FormatKind::kVideo, nullptr, kEveryValue, false, true, true, false,
     false},
};

}  // namespace

std::span<const ExportFormat> ExportFormats() {
    return kFormats;
}

const ExportFormat* ExportFormatFor(const std::string& path) {
    const std::string extension = LowerExtension(path);
    for (const ExportFormat& format : kFormats) {
        if (extension == format.extension) {
            return &format;
        }
    }
    return nullptr;
}

std::string ExtensionList(bool (*passes)(const ExportFormat&), const char* lastJoin) {
    std::vector<const char*> extensions;
    for (const ExportFormat& format : kFormats) {
        if (passes(format)) {
            extensions.push_back(format.extension);
        }
    }
    std::string list;
    for (std::size_t k = 0; k < extensions.size(); ++k) {
        if (k > 0) {
            list += k + 1 == extensions.size() ? std::string(" ") + lastJoin + " " : ", ";
        }
        list += std::string(".") + extensions[k];
    }
    return list;
}

std::string FileDialogFilter(bool (*passes)(const ExportFormat&)) {
    std::string filter;
    for (const ExportFormat& format : kFormats) {
        if (passes(format)) {
            const std::string pattern = std::string("*.") + format.extension;
            filter += std::string(format.description) + " (" + pattern + ")|" + pattern + "|";
        }
    }
    return filter + "|";
}

bool TakesValues(const ExportFormat& format, SampleValues values, std::string* accepted) {
    if ((format.values & ValuesBit(values)) != 0) {
        return true;
    }
    accepted->clear();
    for (SampleValues each : kAllSampleValues) {
        if ((format.values & ValuesBit(each)) != 0) {
            *accepted += std::string(accepted->empty() ? "" : ", ") + SampleValuesName(each);
        }
    }
    return false;
}
