// The settings dialog: one check box per setting; OK saves and republishes.
#pragma once

#include <windows.h>

INT_PTR CALLBACK config_dlg_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
