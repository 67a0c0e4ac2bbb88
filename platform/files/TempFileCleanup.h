#pragma once

#include <string>

// Temporary files that SIGINT, SIGTERM and SIGHUP remove before the process ends, so an
// interrupted write leaves nothing behind. Handlers are installed on first use, and only
// for signals nobody else handles; the signal then ends the process as it would have.

// Returns a ticket for Forget, or -1 when too many files are held at once (that file is
// then not removed by a signal).
int RememberTemporaryFile(const std::string& path);
void ForgetTemporaryFile(int ticket);
