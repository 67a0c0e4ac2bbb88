#pragma once

#include <optional>
#include <string>

#include "viewer/ViewerStartup.h"

class QCommandLineParser;

// The viewer's start-up options: --offset N, --gain N, --sensor mono|color, --zoom,
// --histogram, --view remapped|unmapped, --auto-levels and --start.
void AddStartupOptions(QCommandLineParser& parser);

struct StartupChoice {
    ViewerStartup startup;
    bool bStart = false;  // press Start once the window is up
};

// Reads the options from a parser that has processed the command line. impliedColor is
// the sensor the camera source implies, used unless --sensor says otherwise. False, with
// one line in *error, for a value out of range or a combination that cannot be.
bool ReadStartupOptions(const QCommandLineParser& parser, std::optional<bool> impliedColor,
                        StartupChoice* choice, std::string* error);
