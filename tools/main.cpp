#include <cstdio>
#include <exception>
#include <map>
#include <memory>
#include <string>

#include "camera/CameraSource.h"
#include "tools/CliCommands.h"
#include "tools/CliOptions.h"

namespace {

// The usage line first, as most readers want just that; the rest as the library lays it out.
class HelpFormatter : public CLI::Formatter {
  public:
    std::string make_help(const CLI::App* app, std::string name,
                          CLI::AppFormatMode mode) const override {
        if (mode == CLI::AppFormatMode::Sub) {
            return make_expanded(app);
        }
        return make_usage(app, name) + make_description(app) + make_positionals(app) +
               make_groups(app, mode) + make_subcommands(app, mode) + "\n" + make_footer(app);
    }
};

// The help of the tool, or of one command when given one.
int PrintHelp(const CLI::App& app, int code = 0) {
    const std::string name = app.get_parent() ? "pandry-cli " + app.get_name() : "pandry-cli";
    std::fputs(app.get_formatter()->make_help(&app, name, CLI::AppFormatMode::Normal).c_str(),
               stdout);
    return code;
}

// Where a usage error sends the reader: the command's own help when one was named.
std::string HelpHint(CLI::App& tool) {
    const std::vector<CLI::App*> chosen = tool.get_subcommands();
    return chosen.empty() ? "pandry-cli --help" : "pandry-cli " + chosen[0]->get_name() + " --help";
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App tool("Recorded frames and the camera without a screen.", "pandry-cli");
    tool.formatter(std::make_shared<HelpFormatter>());
    // One command a line: later words (help's topic, a file named "export") are arguments.
    tool.require_subcommand(0, 1);
    tool.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);  // as before
    tool.set_version_flag("--version", std::string("pandry-cli ") + PANDRY_VERSION,
                          "Print the version and exit");
    const std::map<std::string, CliCommand> commands = {
        {"convert", AddConvertCommand(tool)},   {"export", AddExportCommand(tool)},
        {"record", AddRecordCommand(tool)},     {"calibrate", AddCalibrateCommand(tool)},
        {"inspect", AddInspectCommand(tool)},   {"stats", AddStatsCommand(tool)},
        {"geometry", AddGeometryCommand(tool)},
    };
    CLI::App* sources = tool.add_subcommand("sources", "List the camera sources");
    CLI::App* help = tool.add_subcommand("help", "Explain one command");
    std::string topic;
    help->add_option("COMMAND", topic, "A command, or sources");
    tool.footer(
        "'--' ends the options: later arguments are file names even when they begin with "
        "'-'.\n\n" +
        CameraSourceHelp());
    if (argc < 2) {
        return PrintHelp(tool, kUsageError);
    }
    try {
        tool.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        const std::vector<CLI::App*> chosen = tool.get_subcommands();
        return PrintHelp(chosen.empty() ? tool : *chosen[0]);
    } catch (const CLI::CallForVersion& version) {
        std::printf("%s\n", version.what());
        return 0;
    } catch (const CLI::ParseError& error) {
        return CliFail(std::string(error.what()) + " (see " + HelpHint(tool) + ")", kUsageError);
    }
    if (sources->parsed() || (help->parsed() && topic == "sources")) {
        std::fputs(CameraSourceHelp().c_str(), stdout);
        return 0;
    }
    if (help->parsed() && !topic.empty()) {
        if (commands.count(topic) == 0) {
            return CliFail("no help on '" + topic + "' (see pandry-cli --help)", kUsageError);
        }
        return PrintHelp(*tool.get_subcommand(topic));
    }
    if (help->parsed()) {
        return PrintHelp(tool);
    }
    for (const auto& [name, run] : commands) {
        if (tool.got_subcommand(name)) {
            // A library's exception (memory, a file system call) is told as any failure is,
            // never left to end the program with an abort.
            try {
                return run();
            } catch (const std::exception& problem) {
                return CliFail(name + ": " + problem.what());
            }
        }
    }
    return PrintHelp(tool, kUsageError);  // nothing but "--"
}
