#pragma once

#include <string>

#include "platform/files/FileResult.h"

// The SHA-256 of a regular file's bytes in lower-case hex, into *digest (left as it was when
// the file cannot be read; a FIFO, device or directory is refused before any read).
FileResult Sha256OfFile(const std::string& path, std::string* digest);
