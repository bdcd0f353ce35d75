// The settings file config.ini in the plug-in's folder "tolvek" under the
// host's plug-in directory, or under the user's own settings directory when
// the host's refuses writes: finding the folders, loading and saving.
#pragma once

#include "config/settings.h"

#include <string>

// The settings folder for the running host (asked through its main window),
// without a trailing backslash; empty when it cannot be worked out.
std::wstring cfg_get_folder();

// The user's own folder for the settings (the per-user application data
// folder + "Winamp\Plugins\tolvek"), which takes the file when the host's
// folder cannot be written; empty when it cannot be worked out.
std::wstring cfg_get_user_folder();

// Reads config.ini into `settings`: from the user's own folder when a file is
// there, else from the host's folder. Keys missing from the file (or a
// missing or unreadable file) leave their fields as they were.
void cfg_load(cfg_settings *settings);

// Writes `settings` to config.ini in the host's folder, creating the folder
// when needed, and then removes any copy in the user's own folder; when the
// host's folder refuses the file, writes it to the user's own folder instead.
// The new content goes to a temporary file that then replaces the old file
// in one step, so a failed save leaves the previous file exactly as it was.
// Returns 0 when the file was written to either, non-zero when it was not.
int cfg_save(const cfg_settings *settings);
