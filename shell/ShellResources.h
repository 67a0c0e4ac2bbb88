#pragma once

#include <span>

#include "platform/ui/Resources.h"

// Makes the program's strings, dialog templates, menu, accelerators and pictures available
// to the framework. Safe to call any number of times; each call puts the program's tables
// back in place.
void InstallShellResources();

// A pop-up a layer above adds to the main menu, before Help: its items, the strings of its
// commands (prompt and tip) and its keys. The tables must outlive the program.
struct ShellMenuAddition {
    const char* pszTitle = nullptr;
    std::span<const MenuItemTemplate> items;
    std::span<const StringResource> tips;
    std::span<const AcceleratorTemplate> keys;
};
// Kept for every later InstallShellResources; a later call replaces it. Takes effect at the
// next InstallShellResources.
void AddShellMenu(const ShellMenuAddition& addition);
