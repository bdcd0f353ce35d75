// An entry of the plug-in's own in the host's menus: the Options menu and the
// main window's right-click menu, with a check mark, and the command id the
// host registered for it. Main thread only.
#pragma once

#include <windows.h>

// The entry as it was put into the host's menus.
struct host_menu_entry {
    // What the entry sends the main window as LOWORD(wParam) of WM_COMMAND; 0: no entry.
    WORD command = 0;
    // The menus that hold it: the Options menu, the right-click menu; NULL where it is not.
    HMENU menus[2] = {};
};

// Registers a command id with the host and appends an item `text`, checked
// or not, to the Options menu and to the right-click menu. A host that
// registers no command ids gets no entry.
host_menu_entry host_menu_add(const wchar_t *text, bool checked);

// Sets or clears the entry's check mark in every menu that holds it.
void host_menu_check(const host_menu_entry &entry, bool checked);

// Takes the entry out of the host's menus; the entry is empty afterwards.
void host_menu_remove(host_menu_entry &entry);
