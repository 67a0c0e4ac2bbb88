#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

// A sidecar value that is not what its field may hold, with the reason in one line that
// names the field ("frame 3: time_us -5 is outside 0 to ..."); the reader catches it beside
// json's own exceptions.
struct SidecarRefusal {
    std::string reason;
};

// A whole number within [min, max]: fractions, numbers past 64 bits and other types are
// refused rather than cut to fit. Throws SidecarRefusal.
std::int64_t WholeNumber(const nlohmann::json& value, const std::string& what, std::int64_t min,
                         std::int64_t max);
// A number within [min, max] (the JSON parser already refuses one too large for a double).
// Throws SidecarRefusal.
double RealNumber(const nlohmann::json& value, const std::string& what, double min, double max);
