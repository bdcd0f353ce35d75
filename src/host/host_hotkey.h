// A command of the plug-in offered to the host's hotkeys plug-in, which lists
// it in the Global Hotkeys preferences and sends it when the user's key is
// pressed. Main thread only.
#pragma once

#include <windows.h>

// Offers the entry `name` under the unique `id` (both static text, read after
// this returns) that sends the main window WM_COMMAND with `command`, the
// way the entry's menu item does. The offer is posted, so the hotkeys plug-in
// takes it once every plug-in has started; without that plug-in nothing
// takes it, and the menu alone gives the command.
void host_hotkey_offer(const char *name, const char *id, WORD command);
