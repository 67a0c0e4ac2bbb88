#pragma once

#include <string>

// The SHA-256 of a file's bytes in lower-case hex; empty with *error when it cannot be read.
std::string Sha256OfFile(const std::string& path, std::string* error);
