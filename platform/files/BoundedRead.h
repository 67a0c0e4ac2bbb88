#pragma once

#include <cstddef>
#include <string>

// Reads a small text file whole (a sidecar): a regular file of at most limit bytes, refused
// before any read otherwise. False with "cannot read PATH: reason" in *error.
bool ReadSmallRegularFile(const std::string& path, std::size_t limit, std::string* text,
                          std::string* error);
