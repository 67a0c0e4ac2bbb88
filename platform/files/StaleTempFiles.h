#pragma once

#include <functional>
#include <string>

// Temporary files a run killed outright (kill -9) left behind. They are named as
// TemporaryNameBeside names them, DESTINATION.tmp-PID-N, DESTINATION cut short when the whole
// name would not fit the folder. One is stale when it is ours (same user, a regular file)
// and no process PID exists any more.

// Asks whether a temporary file was made for the destination DESTINATION (a path in the
// folder searched); shortened says the name was cut, so only its beginning is known.
using TemporaryFileOwner = std::function<bool(const std::string& destination, bool shortened)>;

// Removes the stale temporary files in FOLDER ("" for the current one) whose destination
// isOurs accepts; returns how many it removed.
int RemoveStaleTemporaryFiles(const std::string& folder, const TemporaryFileOwner& isOurs);

// The same for the temporary files of one destination PATH.
int RemoveStaleTemporaryFilesOf(const std::string& path);
