#pragma once

#include <string>

// Opens a file the program reads whole (a picture, a recording, a dark image) for reading.
// A FIFO, device, socket or directory is refused before any read, and the open itself
// never waits for a writer. Returns the descriptor (close-on-exec, blocking reads), or -1
// with "cannot read PATH: reason" in *error.
int OpenRegularInput(const std::string& path, std::string* error);
