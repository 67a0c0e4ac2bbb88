#pragma once

#include <cstddef>
#include <string>

#include "platform/files/FileResult.h"

// Reads a small text file whole (a sidecar) into *text: a regular file of at most limit
// bytes, refused before any read otherwise ("cannot read PATH: reason").
FileResult ReadSmallRegularFile(const std::string& path, std::size_t limit, std::string* text);
