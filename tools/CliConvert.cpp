#include <sys/stat.h>

#include <cstdio>
#include <iterator>
#include <memory>
#include <set>
#include <string>

#include "levels/AutoLevels.h"
#include "tools/CliArguments.h"
#include "tools/CliCommands.h"
#include "tools/CliProcessing.h"

const char* const kConvertUsage =
    "pandry-cli convert [--sensor mono|color] [--size 256|512] [--view remapped|unmapped]\n"
    "                   [--offset N] [--gain N] [--auto-levels] [--calibration FILE|none]\n"
    "                   INPUT.raw OUTPUT.bmp\n"
    "  Processes every frame of INPUT.raw (whole 38304-byte frames back to back) as the\n"
    "  viewer does and saves the last one as the viewer's Save would. Defaults: mono, 256,\n"
    "  remapped, offset 80, gain 3, calibration from calimage.data of the current directory\n"
    "  (none: no dark level subtracted). --auto-levels chooses offset and gain from the last\n"
    "  frame as the viewer's Auto Levels does, prints them on stderr (offset=N gain=N) and\n"
    "  converts with them.\n";

int RunConvert(int argc, char** argv) {
    CliArguments arguments;
    std::string error;
    const std::set<std::string> known(std::begin(kConvertOptionNames),
                                      std::end(kConvertOptionNames));
    if (!ParseCliArguments(argc, argv, 2, known, &arguments, &error, {"auto-levels"})) {
        return CliFail(error, kUsageError);
    }
    if (arguments.help) {
        std::fputs(kConvertUsage, stdout);
        return 0;
    }
    ConvertSettings settings;
    if (!ReadConvertSettings(arguments, &settings, &error)) {
        return CliFail(error, kUsageError);
    }
    if (arguments.positionals.size() != 2) {
        return CliFail("convert needs INPUT.raw and OUTPUT.bmp (see pandry-cli convert --help)",
                       kUsageError);
    }
    const std::string& input = arguments.positionals[0];
    const std::string& output = arguments.positionals[1];
    struct stat info {};
    if (stat(output.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        return CliFail("cannot write " + output + ": it is a directory");
    }
    std::unique_ptr<CFrameProcessor> processor = ProcessRecording(settings, input, &error);
    if (!processor) {
        return CliFail(error);
    }
    if (arguments.Has("auto-levels")) {
        const LevelsChoice choice =
            ChooseLevels(processor->RawFrame(), processor->CalibrationImage());
        if (choice.bFlat) {
            std::fputs("pandry-cli: the last frame is flat; offset and gain left as given\n",
                       stderr);
        } else {
            settings.offset = choice.offset;
            settings.gain = choice.gain;
            // Processed again, exactly as a plain convert with these values would.
            processor = ProcessRecording(settings, input, &error);
            if (!processor) {
                return CliFail(error);
            }
        }
        std::fprintf(stderr, "offset=%d gain=%d\n", settings.offset, settings.gain);
    }
    const int columns = settings.remapped ? settings.size : kSectors;
    const int rows = settings.remapped ? settings.size : kRings;
    if (!processor->SaveBitmap(columns, rows, output.c_str())) {
        return CliFail("cannot write " + output);
    }
    return 0;
}
