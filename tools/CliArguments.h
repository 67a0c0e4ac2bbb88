#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

// A command's arguments: "--name value" (or "--name=value") options and the rest in order;
// after "--" everything is taken as it stands.
struct CliArguments {
    std::map<std::string, std::string> options;
    std::vector<std::string> positionals;
    bool help = false;

    bool Has(const std::string& name) const { return options.count(name) != 0; }
    std::string Get(const std::string& name, const std::string& fallback) const;
};

// False, with a one-line reason in *error, for an option the command does not know or a
// missing value. Options named in flags take no value (Has tells whether they were given).
bool ParseCliArguments(int argc, char** argv, int first, const std::set<std::string>& known,
                       CliArguments* arguments, std::string* error);
// The same, with flags: options that take no value ("--name" alone stores "1").
bool ParseCliArguments(int argc, char** argv, int first, const std::set<std::string>& known,
                       const std::set<std::string>& flags, CliArguments* arguments,
                       std::string* error);

// Parses a whole decimal integer within [min, max].
bool ParseCliInteger(const std::string& text, long min, long max, long* value);

// Prints "pandry-cli: message" on stderr and returns the exit code given.
int CliFail(const std::string& message, int code = 1);
inline constexpr int kUsageError = 2;
