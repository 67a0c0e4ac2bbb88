#pragma once

#include <CLI/CLI.hpp>
#include <string>

// Parses a whole decimal integer within [min, max].
bool ParseCliInteger(const std::string& text, long min, long max, long* value);

// For transform(): accepts only what ParseCliInteger does and hands the number on in plain
// decimal, as the library alone would take " 5" and read "010" as octal.
CLI::Validator WholeNumber(long min, long max);
// For check(): a finite number within [min, max]; NaN and infinities are refused, which a
// plain range lets through (every comparison with NaN is false).
CLI::Validator FiniteNumber(double min, double max);

// Prints "pandry-cli: message" on stderr and returns the exit code given.
int CliFail(const std::string& message, int code = 1);
// Prints "pandry-cli: warning: message" on stderr.
void CliWarn(const std::string& message);
inline constexpr int kUsageError = 2;
