#pragma once

// Makes the program's strings, dialog templates, menu, accelerators and pictures available
// to the framework. Safe to call any number of times; each call puts the program's tables
// back in place.
void InstallShellResources();
