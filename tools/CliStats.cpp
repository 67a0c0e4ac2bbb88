#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "camera/ReplaySource.h"
#include "export/RecordingSettings.h"
#include "processing/CalibrationFile.h"
#include "processing/FrameProcessor.h"
#include "sidecar/RecordingMetadata.h"
#include "statistics/SampleLevels.h"
#include "statistics/StatisticsCsv.h"
#include "tools/CliCommands.h"
#include "tools/CliOptions.h"
#include "tools/CliSettings.h"

namespace {

struct StatsOptions {
    RenderOptions render;
    std::string values = "raw";
    std::string rings;
    std::string sectors;
    bool bCsv = false;
    std::string input;
};

// How the frames were corrected: what convert and export would use for them; and the
// sidecar's frame times, none without one.
bool ReadStatsSettings(const StatsOptions& options, RenderSettings* settings,
                       RecordingMetadata* metadata, std::string* error) {
    std::string warning;
    if (!SettingsForRecording(options.input, options.render.given, settings, metadata, &warning,
                              error)) {
        return false;
    }
    if (!warning.empty()) {
        CliWarn(warning);
    }
    return true;
}

// The dark image the settings name; all zero when there is none, as the processor does.
std::vector<std::int32_t> LoadDark(const RenderSettings& settings) {
    std::vector<std::int32_t> dark(kFrameBytes, 0);
    if (settings.calibration.empty()) {
        return dark;
    }
    const FileResult loaded = LoadCalibrationFile(settings.calibration, dark.data());
    if (!loaded && !CalibrationIsMissing(loaded)) {
        std::fprintf(stderr, "pandry-cli: warning: %s (no dark level subtracted)\n",
                     loaded.Error().c_str());
        std::fill(dark.begin(), dark.end(), 0);
    }
    return dark;
}

// The channel rows of LevelCounts in the order they are printed: grey, or red, green, blue.
struct PrintedChannel {
    const char* name;
    int row;
};

constexpr PrintedChannel kColorChannels[] = {{"red", 2}, {"green", 1}, {"blue", 0}};
constexpr PrintedChannel kGreyChannel[] = {{"grey", 0}};

void PrintTableRow(std::uint64_t index, std::optional<std::int64_t> timeUs, const char* channel,
                   const ChannelStatistics& s) {
    const std::string time = timeUs ? std::to_string(*timeUs) : "";
    if (s.samples == 0) {
        std::printf("%8llu %12s %-6s %8s\n", static_cast<unsigned long long>(index), time.c_str(),
                    channel, "none");
    } else {
        std::printf("%8llu %12s %-6s %8.2f %4d %4d %8.2f %7.2f%% %7.2f%%\n",
                    static_cast<unsigned long long>(index), time.c_str(), channel, s.mean,
                    s.minimum, s.maximum, s.spread, s.clippedLow * 100, s.clippedHigh * 100);
    }
}

int RunStats(const StatsOptions& options) {
    std::string error;
    RenderSettings settings;
    RecordingMetadata metadata;
    if (!ReadStatsSettings(options, &settings, &metadata, &error)) {
        return CliFail(error, kUsageError);
    }
    LevelValues values = LevelValues::kRaw;
    ParseLevelValues(options.values, &values);  // the option's check allows only these
    SampleRegion region;
    if (!options.rings.empty() &&
        !ParseIndexRange(options.rings, kRings - 1, &region.firstRing, &region.lastRing)) {
        return CliFail("--rings must be A-B or A, rings 0 to 151, A not above B", kUsageError);
    }
    if (region.firstRing > region.lastRing) {
        return CliFail("--rings must be A-B or A, rings 0 to 151, A not above B", kUsageError);
    }
    if (!options.sectors.empty() &&
        !ParseIndexRange(options.sectors, kSectors - 1, &region.firstSector, &region.lastSector)) {
        return CliFail("--sectors must be C-D or C, sectors 0 to 251 (C above D wraps past 0)",
                       kUsageError);
    }
    std::string cutOff;
    std::uint64_t frames = 0;
    if (const FileResult counted = CReplaySource::CountWholeFrames(options.input, &frames, &cutOff);
        !counted) {
        return CliFail(counted.Error());
    }
    if (!cutOff.empty()) {
        CliWarn(cutOff);
    }
    const std::vector<std::int32_t> dark = LoadDark(settings);
    GainTable table{};
    CFrameProcessor::BuildGainTable(table, settings.gain);
    // Frames are read several to a call, which costs the kernel less; they still fit the cache.
    constexpr std::uint64_t kFramesARead = 16;
    std::vector<std::uint8_t> raw(kFramesARead * kFrameBytes);
    std::vector<std::int16_t> shift(kFrameBytes);
    CFrameProcessor::PrepareCorrectionShift(dark.data(), settings.offset, shift.data());
    const FrameSamples frame{
        raw.data(),  dark.data(),    settings.offset,
        &table,      settings.color, settings.flatFactors ? settings.flatFactors->data() : nullptr,
        shift.data()};
    // A region of fovea positions without pixels measures nothing: said before any work (raw
    // is all zero yet, so every sample counts at level 0).
    const LevelCounts probe = CountSampleLevels(frame, LevelValues::kRaw, region);
    std::uint64_t samples = 0;
    for (int row = 0; row < probe.channels; ++row) {
        samples += probe.counts[row][0];
    }
    if (samples == 0) {
        return CliFail("the region " + region.Describe() + " holds no sensor pixel", kUsageError);
    }
    std::ifstream in(options.input, std::ios::binary);
    if (options.bCsv) {
        std::puts(kStatisticsCsvHeader);
    } else {
        std::printf("%s levels of %llu samples%s%s\n", LevelValuesName(values),
                    static_cast<unsigned long long>(samples), region.IsWhole() ? "" : " in ",
                    region.IsWhole() ? "" : region.Describe().c_str());
        std::printf("%8s %12s %-6s %8s %4s %4s %8s %8s %8s\n", "index", "time_us", "chan", "mean",
                    "min", "max", "std", "at 0", "at 255");
    }
    const std::span<const PrintedChannel> channels =
        settings.color ? std::span<const PrintedChannel>(kColorChannels) : kGreyChannel;
    // CSV rows are gathered and written a few hundred frames at a time.
    constexpr std::size_t kCsvChunk = 1 << 16;
    std::string csv;
    auto writeCsv = [&csv] {
        std::fwrite(csv.data(), 1, csv.size(), stdout);
        csv.clear();
    };
    std::uint64_t framesRead = 0;  // whole frames in raw
    for (std::uint64_t k = 0; k < frames; ++k) {
        const std::uint64_t slot = k % kFramesARead;
        if (slot == 0) {
            in.read(reinterpret_cast<char*>(raw.data()),
                    std::streamsize(std::min(kFramesARead, frames - k) * kFrameBytes));
            framesRead = std::uint64_t(in.gcount()) / kFrameBytes;
        }
        if (slot >= framesRead) {
            writeCsv();  // the frames before it, as far as they went
            return CliFail("cannot read frame " + std::to_string(k + 1) + " of " + options.input);
        }
        FrameSamples sample = frame;
        sample.pRaw = raw.data() + slot * kFrameBytes;
        const bool bTimed = k < metadata.frames.size();
        const std::uint64_t index = bTimed ? metadata.frames[k].index : k;
        const std::optional<std::int64_t> timeUs =
            bTimed ? std::optional(metadata.frames[k].timeUs) : std::nullopt;
        const std::array<ChannelStatistics, 3> figures =
            SummarizeSampleLevels(sample, values, region);
        for (const PrintedChannel& channel : channels) {
            const ChannelStatistics& s = figures[channel.row];
            if (options.bCsv) {
                AppendStatisticsRow(csv, index, timeUs, channel.name, s);
            } else {
                PrintTableRow(index, timeUs, channel.name, s);
            }
        }
        if (csv.size() >= kCsvChunk) {
            writeCsv();
        }
    }
    writeCsv();
    std::fflush(stdout);
    if (std::ferror(stdout)) {
        return CliFail("cannot write the statistics to standard output");
    }
    return 0;
}

}  // namespace

CliCommand AddStatsCommand(CLI::App& tool) {
    auto options = std::make_shared<StatsOptions>();
    CLI::App* command =
        tool.add_subcommand("stats", "Print the level statistics of every frame of a recording");
    AddRenderOptions(*command, &options->render);
    AddIgnoreSidecarOption(*command, &options->render);
    command->add_option("--values", options->values, "Levels measured (default raw)")
        ->check(CLI::IsMember(std::vector<std::string>{"raw", "corrected", "shown"}))
        ->option_text("raw|corrected|shown");
    command->add_option("--rings", options->rings, "Only rings A to B (0-151)")->option_text("A-B");
    command->add_option("--sectors", options->sectors, "Only sectors C to D (0-251)")
        ->option_text("C-D");
    command->add_flag("--csv", options->bCsv, "Comma-separated values with a header row");
    command->add_option("INPUT.raw", options->input, "Recorded frames")->required();
    command->footer(
        "Measures each frame over the sensor's physical samples: every periphery sample and,\n"
        "in fovea ring r, the 6r positions holding a pixel. Prints per frame and channel\n"
        "(grey; or red, green, blue) the mean, minimum, maximum, standard deviation and the\n"
        "shares at 0 and 255. corrected: after dark image, flat, offset and gain as convert\n"
        "applies them; shown: as the picture on screen shows them. --csv prints the header\n"
        "index,time_us,channel,mean,min,max,std,at0,at255 (shares 0 to 1; time_us empty\n"
        "without a sidecar). Sectors C above D wrap past sector 0; a fovea sample counts in\n"
        "the sector its centre's angle falls in.");
    return [options] { return RunStats(*options); };
}
