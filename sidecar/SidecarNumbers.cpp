#include "sidecar/SidecarNumbers.h"

#include <charconv>

namespace {

// "0.05", "1", "31622400": the shortest form of a bound.
std::string Shortest(double number) {
    char text[32];
    const auto [end, ignored] = std::to_chars(text, text + sizeof text, number);
    return std::string(text, end);
}

}  // namespace

std::int64_t WholeNumber(const nlohmann::json& value, const std::string& what, std::int64_t min,
                         std::int64_t max) {
    if (value.is_number_unsigned() && value.get<std::uint64_t>() > std::uint64_t(max)) {
        throw SidecarRefusal{what + " " + std::to_string(value.get<std::uint64_t>()) +
                             " is above " + std::to_string(max)};
    }
    if (!value.is_number_integer()) {
        throw SidecarRefusal{what + " is not a whole number"};
    }
    const std::int64_t number = value.get<std::int64_t>();
    if (number < min || number > max) {
        throw SidecarRefusal{what + " " + std::to_string(number) + " is outside " +
                             std::to_string(min) + " to " + std::to_string(max)};
    }
    return number;
}

double RealNumber(const nlohmann::json& value, const std::string& what, double min, double max) {
    if (!value.is_number()) {
        throw SidecarRefusal{what + " is not a number"};
    }
    const double number = value.get<double>();
    if (!(number >= min && number <= max)) {
        throw SidecarRefusal{what + " " + value.dump() + " is outside " + Shortest(min) + " to " +
                             Shortest(max)};
    }
    return number;
}
