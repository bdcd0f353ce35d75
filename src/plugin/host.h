// The host as the plug-in's modules reach it: its main window, and the
// plug-in's own DLL, which holds the dialog template. The host fills both into
// the descriptor before init; start-up hands them on here.
#pragma once

#include <windows.h>

void host_remember(HWND main_window, HINSTANCE plugin_dll);

HWND host_window();
HINSTANCE plugin_dll();
