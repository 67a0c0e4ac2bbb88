#include "tools/CliArguments.h"

#include <charconv>
#include <cstdio>

std::string CliArguments::Get(const std::string& name, const std::string& fallback) const {
    auto found = options.find(name);
    return found == options.end() ? fallback : found->second;
}

bool ParseCliArguments(int argc, char** argv, int first, const std::set<std::string>& known,
                       CliArguments* arguments, std::string* error) {
    return ParseCliArguments(argc, argv, first, known, {}, arguments, error);
}

bool ParseCliArguments(int argc, char** argv, int first, const std::set<std::string>& known,
                       const std::set<std::string>& flags, CliArguments* arguments,
                       std::string* error) {
    for (int i = first; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            arguments->help = true;
            continue;
        }
        if (argument.size() < 2 || argument.compare(0, 2, "--") != 0) {
            arguments->positionals.push_back(argument);
            continue;
        }
        std::string name = argument.substr(2);
        std::string value;
        std::size_t equals = name.find('=');
        bool inlineValue = equals != std::string::npos;
        if (inlineValue) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (flags.count(name) != 0) {
            if (inlineValue) {
                *error = "option '--" + name + "' takes no value";
                return false;
            }
            arguments->options[name] = "1";
            continue;
        }
        if (known.count(name) == 0) {
            *error = "unknown option '" + argument + "' (see pandry-cli --help)";
            return false;
        }
        if (!inlineValue) {
            if (i + 1 == argc) {
                *error = "option '--" + name + "' needs a value";
                return false;
            }
            value = argv[++i];
        }
        arguments->options[name] = value;
    }
    return true;
}

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

int CliFail(const std::string& message, int code) {
    std::fprintf(stderr, "pandry-cli: %s\n", message.c_str());
    return code;
}
