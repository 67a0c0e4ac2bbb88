#include "tools/CliOptions.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "export/MetadataText.h"

bool ParseCliInteger(const std::string& text, long min, long max, long* value) {
    long parsed = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || parsed < min ||
        parsed > max) {
        return false;
    }
    *value = parsed;
    return true;
}

CLI::Validator WholeNumber(long min, long max) {
    const std::string range = std::to_string(min) + " to " + std::to_string(max);
    return CLI::Validator(
        [min, max, range](std::string& text) {
            long value = 0;
            if (!ParseCliInteger(text, min, max, &value)) {
                return "'" + text + "' is not a whole number from " + range;
            }
            text = std::to_string(value);
            return std::string();
        },
        "", "whole number from " + range);
}

CLI::Validator FiniteNumber(double min, double max) {
    const std::string range = CLI::detail::to_string(min) + " to " + CLI::detail::to_string(max);
    return CLI::Validator(
        [min, max, range](const std::string& text) {
            char* end = nullptr;
            const double value = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || !std::isfinite(value) || value < min ||
                value > max) {
                return "'" + text + "' is not a number from " + range;
            }
            return std::string();
        },
        "number from " + range);
}

int CliFail(const std::string& message, int code) {
    // A name in the message may hold line breaks or terminal escapes: shown, not obeyed.
    std::fprintf(stderr, "pandry-cli: %s\n", OneLine(message).c_str());
    return code;
}

void CliWarn(const std::string& message) {
    std::fprintf(stderr, "pandry-cli: warning: %s\n", OneLine(message).c_str());
}
