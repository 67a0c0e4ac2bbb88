#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "camera/ReplaySource.h"
#include "export/ExportFormats.h"
#include "export/PictureWriter.h"
#include "export/RecordedFrames.h"
#include "export/RecordingHistory.h"
#include "export/RecordingSettings.h"
#include "levels/AutoLevels.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/OutputTarget.h"
#include "tools/CliCommands.h"
#include "tools/CliOptions.h"
#include "tools/CliProcessing.h"
#include "tools/CliSettings.h"

namespace {

struct ConvertOptions {
    RenderOptions render;
    bool bAutoLevels = false;
    std::string input;
    std::string output;
};

bool IsConverted(const ExportFormat& format) {
    return format.bConverted;
}

bool IsConvertedByWriter(const ExportFormat& format) {
    return format.bConverted && std::string(format.extension) != "bmp";
}

std::string ConvertedList() {
    return ExtensionList(IsConverted);
}

// The output's format: our BMP for ".bmp" or no extension (as before), else a writer.
bool ChooseWriter(const std::string& output, std::unique_ptr<IPictureWriter>* writer,
                  std::string* error) {
    const std::string extension = LowerExtension(output);
    if (extension.empty() || extension == "bmp") {
        return true;
    }
    const ExportFormat* pFormat = ExportFormatFor(output);
    if (pFormat != nullptr && pFormat->bConverted) {
        *writer = PictureWriterFor(output);
    }
    if (!*writer) {
        *error = "cannot tell the picture format of " + output + ": use " + ConvertedList();
        return false;
    }
    return true;
}

// Processes every frame as the viewer does and writes the last one's picture.
int WriteLastPicture(const std::string& input, std::uint64_t frames, const RenderSettings& settings,
                     const RecordingMetadata& metadata, IPictureWriter& writer,
                     const std::string& output) {
    std::ifstream in(input, std::ios::binary);
    std::vector<std::uint8_t> raw(kFrameBytes);
    CFrameRenderer renderer(settings);
    Picture picture;
    for (std::uint64_t k = 0; k < frames; ++k) {
        if (!in.read(reinterpret_cast<char*>(raw.data()), std::streamsize(raw.size())) ||
            !renderer.Render(raw.data(), &picture)) {
            return CliFail("cannot read frame " + std::to_string(k + 1) + " of " + input);
        }
    }
    PictureText text;
    text.settings = settings.Describe();
    // A read sidecar lists the frames; without one the history says only what converted it.
    text.history = JoinedPairs(RunHistory(metadata, !metadata.frames.empty()));
    text.frame = RecordedIndexAt(metadata, frames - 1);
    text.timeUs = RecordedTimeAt(metadata, frames - 1);
    const FileResult written = writer.Write(picture, text, output);
    return written ? 0 : CliFail(written.Error());
}

// Offset and gain from the last frame, as the viewer's Auto Levels chooses them; printed on
// stderr so that a later convert can repeat them. A flat frame keeps what was given.
bool ChooseAutoLevels(const std::string& input, RenderSettings* settings, std::string* error) {
    std::unique_ptr<CFrameProcessor> processor = ProcessRecording(*settings, input, error);
    if (!processor) {
        return false;
    }
    const LevelsChoice choice = ChooseLevels(processor->RawFrame(), processor->CalibrationImage(),
                                             DisplayRangeFor(settings->color));
    if (choice.bFlat) {
        std::fputs("pandry-cli: the last frame is flat; offset and gain left as given\n", stderr);
    } else {
        settings->offset = choice.offset;
        settings->gain = choice.gain;
    }
    std::fprintf(stderr, "offset=%d gain=%d\n", settings->offset, settings->gain);
    return true;
}

int RunConvert(const ConvertOptions& options) {
    std::string error;
    std::string warning;
    RenderSettings settings;
    RecordingMetadata metadata;
    if (!SettingsForRecording(options.input, options.render.given, &settings, &metadata, &warning,
                              &error)) {
        return CliFail(error, kUsageError);
    }
    if (!warning.empty()) {
        CliWarn(warning);
    }
    const std::string& input = options.input;
    const std::string& output = options.output;
    // A recording cut off mid-frame converts its whole frames, as export does.
    std::string cutOff;
    std::uint64_t frames = 0;
    if (const FileResult counted = CReplaySource::CountWholeFrames(input, &frames, &cutOff);
        !counted) {
        return CliFail(counted.Error());
    }
    // Checked before the work, so a device or FIFO named as output costs nothing.
    OutputTarget target;
    if (const FileResult checked = ResolveOutputTarget(output, &target); !checked) {
        return CliFail(checked.Error());
    }
    std::unique_ptr<IPictureWriter> writer;
    if (!ChooseWriter(output, &writer, &error)) {
        return CliFail(error, kUsageError);
    }
    if (options.bAutoLevels && !ChooseAutoLevels(input, &settings, &error)) {
        return CliFail(error);
    }
    if (!cutOff.empty()) {
        CliWarn(cutOff);
    }
    if (writer) {
        return WriteLastPicture(input, frames, settings, metadata, *writer, output);
    }

    std::unique_ptr<CFrameProcessor> processor = ProcessRecording(settings, input, &error);
    if (!processor) {
        return CliFail(error);
    }
    if (!processor->CalibrationLoaded()) {
        return CliFail(processor->CalibrationLoaded().Error());
    }
    const int columns = settings.remapped ? settings.size : kSectors;
    const int rows = settings.remapped ? settings.size : kRings;
    const FileResult saved = processor->SaveBitmapFile(columns, rows, output);
    return saved ? 0 : CliFail(saved.Error());
}

}  // namespace

CliCommand AddConvertCommand(CLI::App& tool) {
    auto options = std::make_shared<ConvertOptions>();
    CLI::App* command =
        tool.add_subcommand("convert", "Save the last frame of a recording as a picture");
    AddRenderOptions(*command, &options->render);
    AddIgnoreSidecarOption(*command, &options->render);
    command
        ->add_flag("--auto-levels", options->bAutoLevels,
                   "Offset and gain as Auto Levels chooses them")
        ->disable_flag_override();
    command->add_option("INPUT.raw", options->input, "Recorded frames")->required();
    command->add_option("OUTPUT.bmp", options->output, "The picture")->required();
    command->footer(
        "Processes every frame of INPUT.raw (whole 38304-byte frames back to back) as the\n"
        "viewer does and saves the last one as the viewer's Save would (.bmp or no extension),\n"
        "or in the format OUTPUT's extension names: " +
        ExtensionList(IsConvertedByWriter) +
        ". --auto-levels chooses offset\n"
        "and gain from the last frame as the viewer's Auto Levels does, prints them on stderr\n"
        "(offset=N gain=N) and converts with them.");
    return [options] { return RunConvert(*options); };
}
