#pragma once

// Adds the viewer's Tools pop-up (its items, tips and keys) to the program's menu and
// installs the program's tables. Safe to call any number of times.
void InstallViewerResources();
