// The settings file config.ini in the plug-in's folder "tolvek" under the
// host's plug-in directory: finding the folder, loading and saving.
#pragma once

#include "config/settings.h"

#include <string>

// The settings folder for the running host (asked through its main window),
// without a trailing backslash; empty when it cannot be worked out.
std::wstring cfg_get_folder();

// Reads config.ini into `settings`; keys missing from the file (or a missing
// or unreadable file) leave their fields as they were.
void cfg_load(cfg_settings *settings);

// Writes `settings` to config.ini, creating the folder when needed. The new
// content goes to a temporary file that then replaces the old file in one
// step, so a failed save leaves the previous file exactly as it was.
// Returns 0 when the file was written, non-zero when it was not.
int cfg_save(const cfg_settings *settings);
