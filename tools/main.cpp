#include <cstdio>
#include <cstring>
#include <string>

#include "camera/CameraSource.h"
#include "tools/CliArguments.h"
#include "tools/CliCommands.h"

namespace {

void PrintHelp() {
    std::printf(
        "pandry-cli: recorded frames and the camera without a screen.\n\n"
        "Usage:\n%s\n%s\n%s\n%s\n%s\n"
        "pandry-cli sources\n  Lists the camera sources.\n"
        "pandry-cli help COMMAND, pandry-cli COMMAND --help\n  Explains one command.\n"
        "pandry-cli --version\n\n"
        "'--' ends the options: later arguments are file names even when they begin with '-'.\n\n"
        "%s",
        kConvertUsage, kExportUsage, kRecordUsage, kCalibrateUsage, kInspectUsage,
        CameraSourceHelp().c_str());
}

// The usage of one command; null for a name that is none.
const char* UsageOf(const std::string& command) {
    if (command == "convert") {
        return kConvertUsage;
    }
    if (command == "export") {
        return kExportUsage;
    }
    if (command == "record") {
        return kRecordUsage;
    }
    if (command == "calibrate") {
        return kCalibrateUsage;
    }
    if (command == "inspect") {
        return kInspectUsage;
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintHelp();
        return kUsageError;
    }
    std::string command = argv[1];
    if (command == "--version") {
        std::printf("pandry-cli %s\n", PANDRY_VERSION);
        return 0;
    }
    if (command == "help" && argc > 2) {
        const std::string topic = argv[2];
        if (topic == "sources") {
            std::fputs(CameraSourceHelp().c_str(), stdout);
            return 0;
        }
        const char* usage = UsageOf(topic);
        if (usage == nullptr || argc > 3) {
            return CliFail("no help on '" + topic + "' (see pandry-cli --help)", kUsageError);
        }
        std::fputs(usage, stdout);
        return 0;
    }
    if (command == "--help" || command == "-h" || command == "help") {
        PrintHelp();
        return 0;
    }
    if (command == "convert") {
        return RunConvert(argc, argv);
    }
    if (command == "export") {
        return RunExport(argc, argv);
    }
    if (command == "record") {
        return RunRecord(argc, argv);
    }
    if (command == "calibrate") {
        return RunCalibrate(argc, argv);
    }
    if (command == "inspect") {
        return RunInspect(argc, argv);
    }
    if (command == "sources") {
        if (argc > 2) {
            return CliFail("sources takes no arguments", kUsageError);
        }
        std::fputs(CameraSourceHelp().c_str(), stdout);
        return 0;
    }
    return CliFail("unknown command '" + command + "' (see pandry-cli --help)", kUsageError);
}
