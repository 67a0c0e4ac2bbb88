#pragma once

#include <CLI/CLI.hpp>
#include <string>

// Parses a whole decimal integer within [min, max].
bool ParseCliInteger(const std::string& text, long min, long max, long* value);

// For transform(): accepts only what ParseCliInteger does and hands the number on in plain
// decimal, as the library alone would take " 5" and read "010" as octal.
CLI::Validator WholeNumber(long min, long max);
// A number from min to max; NaN and the infinities are refused (a range alone lets NaN in).
CLI::Validator FiniteNumber(double min, double max);

// Prints "pandry-cli: message" on stderr and returns the exit code given.
int CliFail(const std::string& message, int code = 1);
inline constexpr int kUsageError = 2;
