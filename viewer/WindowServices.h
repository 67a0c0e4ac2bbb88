#pragma once

#include <string>

#include "recording/RecordingPlan.h"
#include "viewer/ViewerTypes.h"

// The caption of the viewer's own message boxes.
inline constexpr const char* kMessageCaption = "Korvel";

// What the viewer's logic asks of its window. Called on the user-interface thread only.
class CWindowServices {
  public:
    virtual ~CWindowServices() = default;

    // Outer window geometry, in the sizes of a framed dialog window (see README).
    virtual void PlaceWindow(int x, int y, int cx, int cy) = 0;
    virtual void PlaceStatusBar(int x, int y, int cx, int cy) = 0;
    // Height the status bar needs for one line of its text.
    virtual int StatusBarTextHeight() = 0;
    virtual int ScreenWidth() = 0;
    virtual int ScreenHeight() = 0;

    virtual ViewerRect ClientRect() = 0;
    virtual void InvalidateRect(const ViewerRect& rect) = 0;

    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
    // True when the operator confirmed; pValues then holds the dialog's values.
    virtual bool RunSettingsDialog(SettingsValues* pValues) = 0;
    // True when the operator chose a file; pPath then holds its full path.
    virtual bool RunSaveDialog(std::string* pPath) = 0;
    // True when the operator chose a file to record to; pPath then holds its full path and
    // pPlan what to store of the frames read.
    virtual bool RunRecordDialog(std::string* /*pPath*/, RecordingPlan* /*pPlan*/) { return false; }
    virtual void LoadToolbarPicture(unsigned bitmapId) = 0;
    virtual void SetStatusText(int pane, const std::string& text) = 0;
    // The pane's tool tip: the whole story behind a short text (empty: none).
    virtual void SetStatusTip(int /*pane*/, const std::string& /*tip*/) {}
    // The message pane narrows to give pane 1 room for a recording's count and drops.
    virtual void WidenRecordingPane(bool /*wide*/) {}
    // Levels chosen by Auto Levels: the Settings dialog opens with them from now on.
    virtual void ShowLevels(int /*offset*/, int /*gain*/) {}
};
