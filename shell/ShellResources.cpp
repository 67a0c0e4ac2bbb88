#include "shell/ShellResources.h"

#include <QtGlobal>

#include "platform/ui/Resources.h"
#include "resources/Resource.h"
#include "sensor/Defaults.h"

namespace {

constexpr StringResource kStrings[] = {
    {ID_HELP_ABOUT, "About"},
    {ID_FILE_GRAB, "\nGrab"},
    {ID_OPTIONS_REMAP, "\nRemapped Image"},
    {ID_OPTIONS_MEDIAN, "\nMedian Filter"},
    {ID_SETTINGS_DIALOG, "\nSetting Dialog"},
    {ID_FILE_START, "\nStart "},
    {ID_FILE_CALIBRATE, "\nCalibrate"},
    {AFX_IDS_APP_TITLE, "Korvel sample"},
    {AFX_IDS_IDLEMESSAGE, "Ready"},
    {ID_FILE_SAVE, "\nSave"},
    {ID_APP_EXIT, "\nExit"},
    {ID_VIEW_TOOLBAR, "Toggle toolbar display"},
    {ID_VIEW_STATUS_BAR, "Toggle status bar display"},
    {ID_TOOLS_AUTO_LEVELS, "Choose offset and gain from the current frame\nAuto Levels"},
    {ID_TOOLS_STATISTICS, "Show levels, frame rate and timing in a tool window\nStatistics"},
    {ID_TOOLS_RECORD, "Record the camera's raw frames to a file\nRecord"},
    {ID_TOOLS_TIME_SERIES,
     "Plot the mean level of the frame and the region over time\nTime Series"},
    {ID_TOOLS_SHOW_CLIPPING, "Paint samples shown black in blue and white in red\nShow Clipping"},
    {ID_TOOLS_GAZE, "Show the source picture with the sensor over it, and move its gaze\nGaze"},
};

constexpr MenuItemTemplate kFileMenu[] = {
    {"&Save", ID_FILE_SAVE},           {"&Grab", ID_FILE_GRAB}, {"&Start", ID_FILE_START},
    {"&Calibrate", ID_FILE_CALIBRATE}, {"E&xit", ID_APP_EXIT},
};
constexpr MenuItemTemplate kViewMenu[] = {
    {"&Status Bar", ID_VIEW_STATUS_BAR},
    {"&Toolbar", ID_VIEW_TOOLBAR},
    {"&Zoom", ID_VIEW_ZOOM},
    {"&Histogram", ID_VIEW_HISTOGRAM},
};
constexpr MenuItemTemplate kSettingsMenu[] = {{"&Settings Dialog", ID_SETTINGS_DIALOG}};
constexpr MenuItemTemplate kOptionsMenu[] = {
    {"&Remap", ID_OPTIONS_REMAP},
    {"&Median", ID_OPTIONS_MEDIAN},
};
constexpr MenuItemTemplate kToolsMenu[] = {
    {"&Auto Levels\tCtrl+L", ID_TOOLS_AUTO_LEVELS}, {"S&tatistics\tCtrl+T", ID_TOOLS_STATISTICS},
    {"&Record...\tCtrl+R", ID_TOOLS_RECORD},        {"Time S&eries", ID_TOOLS_TIME_SERIES},
    {"Show &Clipping", ID_TOOLS_SHOW_CLIPPING},     {"&Gaze...\tCtrl+G", ID_TOOLS_GAZE},
};
constexpr MenuItemTemplate kHelpMenu[] = {{"&About...", ID_HELP_ABOUT}};
constexpr MenuItemTemplate kMainMenu[] = {
    {"&File", 0, kFileMenu},       {"&View", 0, kViewMenu},   {"&Settings", 0, kSettingsMenu},
    {"&Options", 0, kOptionsMenu}, {"&Tools", 0, kToolsMenu}, {"&Help", 0, kHelpMenu},
};
constexpr MenuTemplate kMenus[] = {{IDR_MAINFRAME, kMainMenu}};

constexpr AcceleratorTemplate kAccelerators[] = {
    {IDR_ACCELERATORS, Qt::Key_F5, ID_FILE_START},
    {IDR_ACCELERATORS, Qt::CTRL | Qt::Key_L, ID_TOOLS_AUTO_LEVELS},
    {IDR_ACCELERATORS, Qt::CTRL | Qt::Key_T, ID_TOOLS_STATISTICS},
    {IDR_ACCELERATORS, Qt::CTRL | Qt::Key_R, ID_TOOLS_RECORD},
    {IDR_ACCELERATORS, Qt::CTRL | Qt::Key_G, ID_TOOLS_GAZE},
};

constexpr ControlTemplate kAboutControls[] = {
    {ControlKind::DefPushButton, 1, "OK", 73, 117, 50, 14},
    {ControlKind::Picture, -1, nullptr, 62, 5, 67, 73, kCtlBorder, IDB_PICTURE},
    {ControlKind::LeftText, -1, "Korvel Vision Lab", 66, 83, 64, 8},
    {ControlKind::LeftText, -1, "Pandry.exe Release 2.1", 59, 92, 77, 8},
    {ControlKind::LeftText, -1, "Mail: pandry@korvel-vision.example", 31, 102, 139, 10},
};

constexpr ControlTemplate kFileDlgControls[] = {
    {ControlKind::GroupBox, IDC_FILE_PLACEHOLDER, "", 16, 12, 123, 121},
    {ControlKind::Picture, -1, nullptr, 155, 29, 69, 78, 0, IDB_PICTURE},
};

constexpr ControlTemplate kSettingsControls[] = {
    {ControlKind::DefPushButton, 1, "OK", 17, 221, 50, 14},
    {ControlKind::PushButton, 2, "Cancel", 85, 221, 50, 14},
    {ControlKind::Edit, IDC_PORT_ADDRESS, nullptr, 41, 30, 35, 12},
    {ControlKind::AutoRadio, IDC_COLOR, "Color", 37, 170, 54, 15},
    {ControlKind::AutoRadio, IDC_BW, "B/W", 37, 185, 59, 15},
    {ControlKind::GroupBox, -1, "Color Settings", 31, 158, 85, 47},
    {ControlKind::GroupBox, -1, "Port Address", 32, 18, 86, 32},
    {ControlKind::Edit, IDC_GAIN, nullptr, 42, 63, 32, 12},
    {ControlKind::GroupBox, -1, "Gain", 32, 54, 87, 29},
    {ControlKind::GroupBox, -1, "OffSet", 7, 121, 125, 32},
    {ControlKind::Edit, IDC_OFFSET, nullptr, 16, 134, 25, 12},
    {ControlKind::GroupBox, -1, "Filter Threshold", 7, 86, 64, 30},
    {ControlKind::Edit, IDC_FILTER_THRESHOLD, nullptr, 17, 97, 32, 14},
    {ControlKind::GroupBox, -1, "Circles", 78, 87, 53, 30},
    {ControlKind::Edit, IDC_CIRCLES, nullptr, 85, 97, 37, 12, kCtlDisabled},
    {ControlKind::Edit, IDC_AUX2, nullptr, 49, 134, 29, 13, kCtlDisabled},
    {ControlKind::Edit, IDC_AUX1, nullptr, 90, 135, 33, 13, kCtlDisabled},
};

constexpr DialogTemplate kDialogs[] = {
    {IDD_CAMERA, kProductName, 167, 26, IDR_MAINFRAME, kDlgMinimizeBox, {}},
    {IDD_ABOUTBOX, "About Pandry", 198, 140, 0, 0, kAboutControls},
    {IDD_FILEOPEN, "", 241, 150, 0, 0, kFileDlgControls},
    {IDD_SETTINGS, "Settings", 154, 258, 0, 0, kSettingsControls},
};

}  // namespace

// Outside any namespace: the macro declares the embedded files' registration function.
static void InitEmbeddedPictures() {
    Q_INIT_RESOURCE(shell);
}

void InstallShellResources() {
    static const bool bPicturesReady = [] {
        InitEmbeddedPictures();
        return true;
    }();
    (void)bPicturesReady;
    InstallResources({kStrings, kDialogs, kMenus, kAccelerators});
}
