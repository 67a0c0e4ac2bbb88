#pragma once

// Resource and command ids of the program. Command ids double as string ids: the string
// of a command holds its status prompt, optionally a line feed and its tool tip.

// Dialog templates, menus, icons, bitmaps.
inline constexpr unsigned IDD_CAMERA = 102;  // main window template, menu 102, icon 102
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

// Framework ids.
inline constexpr unsigned AFX_IDS_APP_TITLE = 57344;  // 0xE000
inline constexpr unsigned AFX_IDS_IDLEMESSAGE = 57345;  // 0xE001, "Ready"
inline constexpr unsigned ID_FILE_SAVE = 57603;  // 0xE103
inline constexpr unsigned ID_APP_EXIT = 57665;  // 0xE141
inline constexpr unsigned ID_VIEW_TOOLBAR = 59392;  // 0xE800, also the toolbar's child id
inline constexpr unsigned ID_VIEW_STATUS_BAR = 59393;  // 0xE801, also the status bar's child id
inline constexpr unsigned AFX_IDW_CONTROLBAR_FIRST = 0xE800;
inline constexpr unsigned AFX_IDW_CONTROLBAR_LAST = 0xE8FF;
inline constexpr unsigned AFX_IDS_SCFIRST = 0xEF00;  // prompts of system-menu commands

// Window messages the bars and the main window exchange.
inline constexpr unsigned WM_SETMESSAGESTRING = 0x0362;
inline constexpr unsigned WM_IDLEUPDATECMDUI = 0x0363;
inline constexpr unsigned WM_POPMESSAGESTRING = 0x0375;

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
