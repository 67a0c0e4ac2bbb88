#pragma once

#include <memory>
#include <span>
#include <string>

#include "export/SampleValues.h"

class IPictureWriter;

// What a file of one format holds.
enum class FormatKind {
    kPictures,  // one picture per frame (a name with a frame number), or the viewer's Save
    kStream,    // one YUV4MPEG2 stream of every frame
    kVideo,     // a video through ffmpeg, each frame at its recorded time
};

// Bits of the --values a format takes.
inline constexpr unsigned ValuesBit(SampleValues values) {
    return 1u << unsigned(values);
}
inline constexpr unsigned kEveryValue =
    ValuesBit(SampleValues::kShown) | ValuesBit(SampleValues::kCorrected) |
    ValuesBit(SampleValues::kRaw) | ValuesBit(SampleValues::kFlat);

// One output format, named by its extension. Adding a format is one entry in the table
// (ExportFormats.cpp) and its writer.
struct ExportFormat {
    const char* extension;    // lower case, without the dot
    const char* description;  // a file dialog's name for the files ("PNG Files")
    FormatKind kind;
    // Pictures: the writer of one file; null where the picture is not written by a writer
    // of the export (the viewer's own BMP).
    std::unique_ptr<IPictureWriter> (*makeWriter)();
    unsigned values;        // the --values it takes, ValuesBit of each
    bool bStack;            // pictures: a name without a frame number writes one stack
    bool bLossless;         // video: holds --lossless (FFV1)
    bool bExported;         // pandry-cli export writes it
    bool bConverted;        // pandry-cli convert writes it
    bool bSavedFromViewer;  // offered by the viewer's Save dialog
};

std::span<const ExportFormat> ExportFormats();

// The format a path's extension names (any case); null for none.
const ExportFormat* ExportFormatFor(const std::string& path);

// The extensions of the formats that pass, in table order, for help and error texts:
// ".bmp, .png, .tif or .ppm"; the last joined with the word given.
std::string ExtensionList(bool (*passes)(const ExportFormat&), const char* lastJoin = "or");

// A file dialog's filter of the formats that pass, in table order, in the framework's form:
// "Bitmap Files (*.bmp)|*.bmp|PNG Files (*.png)|*.png||".
std::string FileDialogFilter(bool (*passes)(const ExportFormat&));

// Whether a format takes these values; the words it takes in *accepted otherwise.
bool TakesValues(const ExportFormat& format, SampleValues values, std::string* accepted);
