#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>

#include "sensor/LogPolarFrame.h"
#include "sensor/SampleGeometry.h"
#include "tools/CliCommands.h"

CliCommand AddGeometryCommand(CLI::App& tool) {
    auto csv = std::make_shared<bool>(false);  // written by the parser, so kept by the command
    CLI::App* command = tool.add_subcommand(
        "geometry", "Print where each sensor sample sits: radius, angle, area, physical");
    command->add_flag("--csv", *csv, "As comma-separated values with a header line")->required();
    command->footer(
        "One line per sample in the file's order (index = sector * 152 + ring): radius in\n"
        "pixels of the 512 x 512 picture from its centre, angle in degrees (0 toward the\n"
        "right, counter-clockwise on screen), area in pixels of that picture, and 1 where the\n"
        "sensor has a pixel (0 for the fovea's unused positions).");
    return [csv] {
        const SampleGeometry& geometry = SensorSampleGeometry();
        std::printf("sector,ring,index,radius,angle,area,physical\n");
        for (int sector = 0; sector < kSectors; ++sector) {
            for (int ring = 0; ring < kRings; ++ring) {
                const int index = sector * kRings + ring;
                std::printf("%d,%d,%d,%.4f,%.4f,%u,%d\n", sector, ring, index,
                            double(geometry.radius[index]), double(geometry.angle[index]),
                            unsigned(geometry.area[index]), geometry.physical[index] ? 1 : 0);
            }
        }
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    };
}
