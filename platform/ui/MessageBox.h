#pragma once

#include <QString>

class QWidget;

// Message box flags and results, with the values the original system uses.
inline constexpr unsigned MB_OK = 0x0000;
inline constexpr unsigned MB_OKCANCEL = 0x0001;
inline constexpr unsigned MB_YESNO = 0x0004;
inline constexpr unsigned MB_ICONHAND = 0x0010;
inline constexpr unsigned MB_ICONQUESTION = 0x0020;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x0030;
inline constexpr unsigned MB_ICONINFORMATION = 0x0040;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Shows a modal message box owned by pParent (centred on it) and returns the button pressed.
int ShowMessageBox(QWidget* pParent, const QString& text, const QString& caption, unsigned nFlags);

// A message of the framework itself: captioned with the application title, owned by the
// main window.
int AfxMessageBox(const QString& text, unsigned nFlags = MB_OK);
