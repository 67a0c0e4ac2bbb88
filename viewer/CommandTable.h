#pragma once

#include <span>

class CViewerCore;

// One viewer command: its id, its rules and its handler, side by side.
struct ViewerCommand {
    unsigned id;
    bool (*IsEnabled)(const CViewerCore&);
    bool (*IsChecked)(const CViewerCore&);  // null: the command has no check mark
    void (CViewerCore::*Run)();
};

std::span<const ViewerCommand> ViewerCommands();
const ViewerCommand* FindViewerCommand(unsigned id);

// Runs the command when its rule enables it now; false when it was disabled or unknown.
bool ExecuteViewerCommand(CViewerCore& core, unsigned id);
