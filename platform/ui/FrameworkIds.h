#pragma once

// Ids the window framework itself defines, with the values the original platform uses.

inline constexpr unsigned AFX_IDS_APP_TITLE = 57344;    // 0xE000
inline constexpr unsigned AFX_IDS_IDLEMESSAGE = 57345;  // 0xE001, "Ready"
inline constexpr unsigned ID_FILE_SAVE = 57603;         // 0xE103
inline constexpr unsigned ID_APP_EXIT = 57665;          // 0xE141
inline constexpr unsigned ID_VIEW_TOOLBAR = 59392;      // 0xE800, also the toolbar's child id
inline constexpr unsigned ID_VIEW_STATUS_BAR = 59393;   // 0xE801, also the status bar's child id
inline constexpr unsigned AFX_IDW_CONTROLBAR_FIRST = 0xE800;
inline constexpr unsigned AFX_IDW_CONTROLBAR_LAST = 0xE8FF;
inline constexpr unsigned AFX_IDS_SCFIRST = 0xEF00;  // prompts of system-menu commands

// Window messages the bars and the main window exchange.
inline constexpr unsigned WM_SETMESSAGESTRING = 0x0362;
inline constexpr unsigned WM_IDLEUPDATECMDUI = 0x0363;
inline constexpr unsigned WM_POPMESSAGESTRING = 0x0375;

// Menu-select flags and the idle reason of a menu's modal loop.
inline constexpr unsigned MF_SEPARATOR = 0x0800;
inline constexpr unsigned MF_POPUP = 0x0010;
inline constexpr unsigned MF_MENUBREAK = 0x0040;
inline constexpr unsigned MF_MENUBARBREAK = 0x0020;
inline constexpr unsigned kMenuClosedFlags = 0xFFFF;
inline constexpr unsigned MSGF_MENU = 2;
