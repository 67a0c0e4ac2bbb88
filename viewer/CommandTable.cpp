#include "viewer/CommandTable.h"

#include <array>

#include "resources/Resource.h"
#include "viewer/ToolsCommands.h"
#include "viewer/ViewerCore.h"

namespace {

bool Always(const CViewerCore&) {
    return true;
}

constexpr std::array kCommands = {
    // Save: only a grabbed frame, and only once acquisition is off.
    ViewerCommand{ID_FILE_SAVE,
                  [](const CViewerCore& c) { return c.State() == AcquisitionState::Grabbed; },
                  nullptr, &CViewerCore::OnSave},
    ViewerCommand{ID_FILE_GRAB, [](const CViewerCore& c) { return c.IsStarted() == 1; },
                  [](const CViewerCore& c) { return c.IsGrabbed() == 1; }, &CViewerCore::OnGrab},
    ViewerCommand{ID_FILE_START, Always, [](const CViewerCore& c) { return c.IsRunning() == 1; },
                  &CViewerCore::OnStart},
    ViewerCommand{ID_FILE_CALIBRATE,
                  [](const CViewerCore& c) { return c.State() == AcquisitionState::Running; },
                  nullptr, &CViewerCore::OnCalibrate},
    ViewerCommand{ID_VIEW_ZOOM, Always, [](const CViewerCore& c) { return c.IsZoomed() == 1; },
                  &CViewerCore::OnZoom},
    ViewerCommand{ID_VIEW_HISTOGRAM, Always,
                  [](const CViewerCore& c) { return c.IsHistogramShown(); },
                  &CViewerCore::OnHistogram},
    ViewerCommand{ID_SETTINGS_DIALOG, [](const CViewerCore& c) { return c.IsRunning() == 0; },
                  nullptr, &CViewerCore::OnSettings},
    ViewerCommand{ID_OPTIONS_REMAP, Always, [](const CViewerCore& c) { return c.IsRemap() == 1; },
                  &CViewerCore::OnRemap},
    ViewerCommand{ID_OPTIONS_MEDIAN, Always, [](const CViewerCore& c) { return c.IsMedian() == 1; },
                  &CViewerCore::OnMedian},
    // Auto Levels: served at once from a held frame, otherwise at the next frame read.
    ViewerCommand{ID_TOOLS_AUTO_LEVELS, Always, nullptr, &CViewerCore::OnAutoLevels},
    // Record: starts while frames arrive; stops whenever it runs.
    ViewerCommand{ID_TOOLS_RECORD,
                  [](const CViewerCore& c) { return c.IsRunning() == 1 || c.IsRecording(); },
                  [](const CViewerCore& c) { return c.IsRecording(); }, &CViewerCore::OnRecord},
};

}  // namespace

std::span<const ViewerCommand> ViewerCommands() {
    return kCommands;
}

const ViewerCommand* FindViewerCommand(unsigned id) {
    for (const ViewerCommand& command : kCommands) {
        if (command.id == id) {
            return &command;
        }
    }
    return nullptr;
}

bool ExecuteViewerCommand(CViewerCore& core, unsigned id) {
    const ViewerCommand* pCommand = FindViewerCommand(id);
    if (pCommand == nullptr || !pCommand->IsEnabled(core)) {
        return false;
    }
    (core.*pCommand->Run)();
    return true;
}
