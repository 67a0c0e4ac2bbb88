#pragma once

#include <functional>

namespace CLI {
class App;
}

// Each command adds itself to the tool's command line and returns what runs it once the
// line is parsed; that gives the exit code.
using CliCommand = std::function<int()>;

CliCommand AddConvertCommand(CLI::App& tool);
CliCommand AddExportCommand(CLI::App& tool);
CliCommand AddRecordCommand(CLI::App& tool);
CliCommand AddCalibrateCommand(CLI::App& tool);
CliCommand AddInspectCommand(CLI::App& tool);
CliCommand AddStatsCommand(CLI::App& tool);
CliCommand AddGeometryCommand(CLI::App& tool);
