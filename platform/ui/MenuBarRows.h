#pragma once

class QMenuBar;

// Lays the titles of pBar out for a bar cx pixels wide and returns the height the bar needs.
// Titles that do not fit one row go on to a second, right-aligned, so that none hides behind
// the overflow button (a large font in a narrow window). The bar needs a style whose
// SH_DrawMenuBarSeparator is true (CCompactMenuBarStyle): a separator title is the break.
int FitMenuBarRows(QMenuBar* pBar, int cx);
