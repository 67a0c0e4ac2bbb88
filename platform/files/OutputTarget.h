#pragma once

#include <sys/types.h>

#include <string>

#include "platform/files/FileResult.h"

// The file a write to a name really replaces, checked before anything is written.
struct OutputTarget {
    std::string path;  // the name itself or, for a symbolic link, the file it leads to
    bool exists = false;
    mode_t mode = 0;  // permission bits of the file replaced
    uid_t owner = 0;
    gid_t group = 0;
};

// Follows symbolic links to the file they name, then checks it: it must be a regular file
// we may write, or not exist. Otherwise the result says "cannot write NAME: reason" (a
// device, FIFO, socket or directory; a file we may not write; a loop of links).
FileResult ResolveOutputTarget(const std::string& path, OutputTarget* target);

// A free name beside path for its temporary copy, no longer than the folder allows.
std::string TemporaryNameBeside(const std::string& path, unsigned serial);
