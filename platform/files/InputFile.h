#pragma once

#include <string>

#include "platform/files/FileResult.h"

// Opens a file the program reads whole (a picture, a recording, a dark image) for reading.
// A FIFO, device, socket or directory is refused before any read, and the open itself
// never waits for a writer. *pFd is the descriptor (close-on-exec, blocking reads), or -1
// when the result says why not ("cannot read PATH: reason").
FileResult OpenRegularInput(const std::string& path, int* pFd);
