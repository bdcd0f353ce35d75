// The host as the plug-in's modules reach it: its main window, the plug-in's
// own DLL (which holds the dialog template), and the directories the host
// names. The host fills the window and the DLL into the descriptor before
// init; start-up hands them on here.
#pragma once

#include <windows.h>

#include <string>

void host_remember(HWND main_window, HINSTANCE plugin_dll);

HWND host_window();
HINSTANCE plugin_dll();

// The host's plug-in directory, asked in the way its version understands:
// the wide or 8-bit plug-in directory, its settings directory + "Plugins",
// or for the oldest hosts the user's own plug-in directory. Empty when the
// host's answer is empty or the folder cannot be worked out.
std::wstring host_plugin_directory();

// The per-user application data folder + "Winamp\Plugins": the plug-in
// directory of the oldest hosts, and the user's own one for every host.
// Empty when the shell cannot name the folder.
std::wstring host_user_plugin_directory();
