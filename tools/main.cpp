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
        "pandry-cli sources\n  Lists the camera sources.\n\n%s",
        kConvertUsage, kExportUsage, kRecordUsage, kCalibrateUsage, kInspectUsage,
        CameraSourceHelp().c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintHelp();
        return kUsageError;
    }
    std::string command = argv[1];
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
