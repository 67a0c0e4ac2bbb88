#include "viewer/ToolsMenu.h"

#include "platform/ui/Resources.h"
#include "resources/Resource.h"
#include "shell/ShellResources.h"
#include "viewer/ToolsCommands.h"

namespace {

constexpr MenuItemTemplate kToolsItems[] = {
    {"&Auto Levels\tCtrl+L", ID_TOOLS_AUTO_LEVELS},
    {"S&tatistics\tCtrl+T", ID_TOOLS_STATISTICS},
    {"&Record...\tCtrl+R", ID_TOOLS_RECORD},
    {"Time S&eries", ID_TOOLS_TIME_SERIES},
    {"Show &Clipping", ID_TOOLS_SHOW_CLIPPING},
    {"&Gaze...\tCtrl+G", ID_TOOLS_GAZE},
    {"Running A&verage...", ID_TOOLS_RUNNING_AVERAGE},
    {"Calibrate &Flat...", ID_TOOLS_CALIBRATE_FLAT},
};

constexpr StringResource kToolsTips[] = {
    {ID_TOOLS_AUTO_LEVELS, "Choose offset and gain from the current frame\nAuto Levels"},
    {ID_TOOLS_STATISTICS, "Show levels, frame rate and timing in a tool window\nStatistics"},
    {ID_TOOLS_RECORD, "Record the camera's raw frames to a file\nRecord"},
    {ID_TOOLS_TIME_SERIES,
     "Plot the mean level of the frame and the region over time\nTime Series"},
    {ID_TOOLS_SHOW_CLIPPING, "Paint samples shown black in blue and white in red\nShow Clipping"},
    {ID_TOOLS_GAZE, "Show the source picture with the sensor over it, and move its gaze\nGaze"},
    {ID_TOOLS_RUNNING_AVERAGE,
     "Show the mean of the last frames, to see through the noise\nRunning Average"},
    {ID_TOOLS_CALIBRATE_FLAT,
     "Make a flat image of an evenly lit field from the next frames\nCalibrate Flat"},
};

constexpr AcceleratorTemplate kToolsKeys[] = {
    {IDR_ACCELERATORS, Qt::CTRL | Qt::Key_L, ID_TOOLS_AUTO_LEVELS},
    {IDR_ACCELERATORS, Qt::CTRL | Qt::Key_T, ID_TOOLS_STATISTICS},
    {IDR_ACCELERATORS, Qt::CTRL | Qt::Key_R, ID_TOOLS_RECORD},
    {IDR_ACCELERATORS, Qt::CTRL | Qt::Key_G, ID_TOOLS_GAZE},
};

}  // namespace

void InstallViewerResources() {
    AddShellMenu({"&Tools", kToolsItems, kToolsTips, kToolsKeys});
    InstallShellResources();
}
