#pragma once

#include <QIcon>
#include <QKeyCombination>
#include <QPixmap>
#include <QString>
#include <span>

// The program's resources as tables compiled into it: strings, dialog templates and menus by
// id; pictures and icons come from the toolkit's embedded files under ":/res/".

struct StringResource {
    unsigned nID;
    const char* pszText;
};

enum class ControlKind { PushButton, DefPushButton, Edit, AutoRadio, GroupBox, LeftText, Picture };

// Style bits of a control template entry.
inline constexpr unsigned kCtlDisabled = 0x1;
inline constexpr unsigned kCtlBorder = 0x2;  // thin frame around a picture

struct ControlTemplate {
    ControlKind kind;
    int nID;  // -1 for controls nobody addresses
    const char* pszText;
    int x, y, cx, cy;  // dialog units
    unsigned nStyle = 0;
    unsigned nImageID = 0;  // bitmap of a picture control
};

// Style bits of a dialog template.
inline constexpr unsigned kDlgMinimizeBox = 0x1;  // a main window: minimise box, own taskbar entry

struct DialogTemplate {
    unsigned nID;
    const char* pszCaption;
    int cx, cy;        // dialog units
    unsigned nMenuID;  // 0: no menu; also the id of the accelerator table loaded with it
    unsigned nStyle;
    std::span<const ControlTemplate> controls;
};

// A menu item; nID 0 with a non-empty items list is a pop-up.
struct MenuItemTemplate {
    const char* pszText;
    unsigned nID;
    std::span<const MenuItemTemplate> items = {};
};

struct MenuTemplate {
    unsigned nID;
    std::span<const MenuItemTemplate> popups;
};

struct AcceleratorTemplate {
    unsigned nTableID;
    QKeyCombination key;  // modifiers and key
    unsigned nCommandID;
};

struct ResourceSet {
    std::span<const StringResource> strings;
    std::span<const DialogTemplate> dialogs;
    std::span<const MenuTemplate> menus;
    std::span<const AcceleratorTemplate> accelerators;
};

// Installs the set all lookups below use; a later call replaces the earlier one.
void InstallResources(const ResourceSet& set);

// The string with the given id; false (and str untouched) when there is none.
bool LoadResString(unsigned nID, QString& str);
// Field nField (0-based) of str split at line feeds; empty when it has fewer fields.
QString ExtractSubString(const QString& str, int nField);

const DialogTemplate* FindDialogTemplate(unsigned nID);
const MenuTemplate* FindMenuTemplate(unsigned nID);
std::span<const AcceleratorTemplate> Accelerators();

// Bitmap resource nID; a null pixmap when there is none. A form names a variant of the same
// picture ("-2x" drawn at twice the scale, "-dark" for dark palettes, "-dark-2x").
QPixmap LoadBitmapResource(unsigned nID, const QString& form = QString());
// Icon group nID with all its images; a null icon when there is none.
QIcon LoadIconResource(unsigned nID);
