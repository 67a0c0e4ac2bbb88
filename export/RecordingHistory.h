#pragma once

#include <string>
#include <utility>
#include <vector>

#include "sidecar/RecordingMetadata.h"

using NamedValues = std::vector<std::pair<std::string, std::string>>;

// How the run behind an export went, as its sidecar tells: when it started, how it ended,
// frames dropped and reads failed, the source and what recorded it, then what exported it.
// Without a sidecar read, only what exported it: a reader then knows the rest is unknown,
// not that the run was clean.
NamedValues RunHistory(const RecordingMetadata& metadata, bool sidecarRead);

// "key=value key=value ...", for the formats that keep one line of text.
std::string JoinedPairs(const NamedValues& pairs);
