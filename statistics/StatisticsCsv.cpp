#include "statistics/StatisticsCsv.h"

#include <charconv>

namespace {

// Room for any double in fixed notation with 6 decimals.
constexpr std::size_t kFixedChars = 330;

template <typename Number>
void AppendNumber(std::string& text, Number number) {
    char field[24];
    const std::to_chars_result written = std::to_chars(field, field + sizeof(field), number);
    text.append(field, written.ptr);
}

// to_chars with a precision writes exactly what printf's %.Nf does, without the locale and
// the format parsing that dominated the output at tens of thousands of rows a second.
void AppendFixed(std::string& text, double number, int decimals) {
    char field[kFixedChars];
    const std::to_chars_result written =
        std::to_chars(field, field + sizeof(field), number, std::chars_format::fixed, decimals);
    text.append(field, written.ptr);
}

}  // namespace

void AppendStatisticsRow(std::string& text, std::uint64_t index, std::optional<std::int64_t> timeUs,
                         const char* channel, const ChannelStatistics& s) {
    AppendNumber(text, index);
    text += ',';
    if (timeUs) {
        AppendNumber(text, *timeUs);
    }
    text += ',';
    text += channel;
    if (s.samples == 0) {
        text += ",,,,,,\n";
        return;
    }
    text += ',';
    AppendFixed(text, s.mean, 4);
    text += ',';
    AppendNumber(text, s.minimum);
    text += ',';
    AppendNumber(text, s.maximum);
    text += ',';
    AppendFixed(text, s.spread, 4);
    text += ',';
    AppendFixed(text, s.clippedLow, 6);
    text += ',';
    AppendFixed(text, s.clippedHigh, 6);
    text += '\n';
}
