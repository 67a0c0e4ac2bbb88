#pragma once

#include "platform/ui/FrameworkIds.h"

// Resource and command ids of the program. Command ids double as string ids: the string
// of a command holds its status prompt, optionally a line feed and its tool tip.

// Dialog templates, menus, icons, bitmaps.
inline constexpr unsigned IDD_CAMERA = 102;     // main window template, menu 102, icon 102
inline constexpr unsigned IDR_MAINFRAME = 102;  // menu, accelerators, icon, toolbar strip
inline constexpr unsigned IDD_ABOUTBOX = 105;
inline constexpr unsigned IDD_FILEOPEN = 107;
inline constexpr unsigned IDI_FILEDLG = 108;
inline constexpr unsigned IDD_SETTINGS = 112;
inline constexpr unsigned IDB_TOOLBAR_RUNNING = 115;  // raised hand in place of the flag
inline constexpr unsigned IDB_TOOLBAR_IDLE = 116;     // chequered flag, as strip 102
inline constexpr unsigned IDB_PICTURE = 117;
inline constexpr unsigned IDB_BACKGROUND = 128;

// Commands of the viewer.
inline constexpr unsigned ID_HELP_ABOUT = 40003;
inline constexpr unsigned ID_FILE_GRAB = 40020;
inline constexpr unsigned ID_OPTIONS_REMAP = 40021;
inline constexpr unsigned ID_OPTIONS_MEDIAN = 40022;
inline constexpr unsigned ID_SETTINGS_DIALOG = 40023;
inline constexpr unsigned ID_FILE_START = 40024;
inline constexpr unsigned ID_FILE_CALIBRATE = 40025;
inline constexpr unsigned ID_VIEW_ZOOM = 40026;
inline constexpr unsigned ID_VIEW_HISTOGRAM = 40028;

// Controls of the Settings dialog.
inline constexpr int IDC_PORT_ADDRESS = 1011;
inline constexpr int IDC_COLOR = 1012;
inline constexpr int IDC_BW = 1013;
inline constexpr int IDC_OFFSET = 1015;
inline constexpr int IDC_GAIN = 1018;
inline constexpr int IDC_FILTER_THRESHOLD = 1020;
inline constexpr int IDC_CIRCLES = 1021;
inline constexpr int IDC_AUX2 = 1022;
inline constexpr int IDC_AUX1 = 1023;

// Controls of the Save Bitmap dialog's own template.
inline constexpr int IDC_FILE_PLACEHOLDER = 1119;  // where the standard controls go

// Accelerator table of the main window.
inline constexpr unsigned IDR_ACCELERATORS = 102;
