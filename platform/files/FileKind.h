#pragma once

#include <sys/types.h>

// What a file that is not a regular one is, for messages: "a directory", "a FIFO",
// "a socket", "a device" or "a special file".
const char* KindOf(mode_t mode);
