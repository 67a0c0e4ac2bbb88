#include "tools/CliOptions.h"

#include <charconv>
#include <cmath>
#include <cstdio>

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

int CliFail(const std::string& message, int code) {
    std::fprintf(stderr, "pandry-cli: %s\n", message.c_str());
    return code;
}

CLI::Validator FiniteNumber(double min, double max) {
    char range[64];
    std::snprintf(range, sizeof range, "%.15g to %.15g", min, max);
    return CLI::Validator(
        [min, max, range = std::string(range)](std::string& text) {
            double value = 0;
            auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
            if (text.empty() || error != std::errc{} || end != text.data() + text.size() ||
                !std::isfinite(value) || value < min || value > max) {
                return "'" + text + "' is not a number from " + range;
            }
            return std::string();
        },
        "", "number from " + std::string(range));
}
