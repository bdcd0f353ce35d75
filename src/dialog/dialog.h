// The settings dialog: a check box per on/off setting, drop-downs for what
// friends see in the member list, the card's header and its two buttons,
// edits for the line templates and the user's own buttons, and a preview of
// the card; OK saves and republishes. At most one is open at a time; only
// the host's main thread uses it.
#pragma once

#include "config/config_file.h"

#include <windows.h>

INT_PTR CALLBACK config_dlg_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Runs the dialog modally, owned by the host's main window, and returns when
// it has closed; OK saves to `file`, which the caller keeps meanwhile. While
// it is open, a further call (the host's preferences stay usable) brings the
// open dialog to the front and returns at once.
void config_dialog_open(cfg_file &file);
