#include "shell/ShellResources.h"

#include <QtGlobal>
#include <iterator>
#include <vector>

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
constexpr MenuItemTemplate kHelpMenu[] = {{"&About...", ID_HELP_ABOUT}};
// The pop-ups before the one a layer above may add, and the pop-ups after it.
constexpr MenuItemTemplate kMenusBefore[] = {
    {"&File", 0, kFileMenu},
    {"&View", 0, kViewMenu},
    {"&Settings", 0, kSettingsMenu},
    {"&Options", 0, kOptionsMenu},
};
constexpr MenuItemTemplate kMenusAfter[] = {{"&Help", 0, kHelpMenu}};

constexpr AcceleratorTemplate kAccelerators[] = {
    {IDR_ACCELERATORS, Qt::Key_F5, ID_FILE_START},
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

// The program's tables with a layer's addition in place; InstallResources keeps spans into
// them, so they change only when the addition does. UI thread only, as every lookup.
struct MergedTables {
    std::vector<StringResource> strings;
    std::vector<MenuItemTemplate> popups;
    MenuTemplate menus[1];
    std::vector<AcceleratorTemplate> accelerators;
};

template <typename T>
std::vector<T> Joined(std::span<const T> first, std::span<const T> second) {
    std::vector<T> all(first.begin(), first.end());
    all.insert(all.end(), second.begin(), second.end());
    return all;
}

MergedTables Merged(const ShellMenuAddition& addition) {
    MergedTables tables;
    tables.strings = Joined<StringResource>(kStrings, addition.tips);
    tables.popups.assign(std::begin(kMenusBefore), std::end(kMenusBefore));
    if (!addition.items.empty()) {
        tables.popups.push_back({addition.pszTitle, 0, addition.items});
    }
    tables.popups.insert(tables.popups.end(), std::begin(kMenusAfter), std::end(kMenusAfter));
    tables.menus[0] = {IDR_MAINFRAME, tables.popups};
    tables.accelerators = Joined<AcceleratorTemplate>(kAccelerators, addition.keys);
    return tables;
}

MergedTables& Tables() {
    static MergedTables tables = Merged({});
    return tables;
}

}  // namespace

void AddShellMenu(const ShellMenuAddition& addition) {
    Tables() = Merged(addition);
}

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
    const MergedTables& tables = Tables();
    InstallResources({tables.strings, kDialogs, tables.menus, tables.accelerators});
}
