// The settings file config.ini in the plug-in's folder "tolvek" under the
// host's plug-in directory, or under the user's own plug-in directory when
// the host's refuses writes: the two folders, loading and saving. The caller
// names the directories; nothing here asks the host.
#pragma once

#include "config/settings.h"

#include <string>

// Where the settings file of this host lives.
struct cfg_file {
    // The host's folder for it, without a trailing backslash; empty when
    // the host named no plug-in directory.
    std::wstring folder;
    // The user's own folder, which takes the file when the host's folder
    // cannot be written; empty when it is the host's folder itself or unknown.
    std::wstring user_folder;
};

// The folders under the host's plug-in directory and the user's own one
// (the per-user application data folder + "Winamp\Plugins").
cfg_file cfg_locate(const std::wstring &host_plugin_directory, const std::wstring &user_plugin_directory);

// Reads config.ini into `settings`: from the user's own folder when a file is
// there, else from the host's folder. Keys missing from the file (or a
// missing or unreadable file) leave their fields as they were.
void cfg_load(const cfg_file &file, cfg_settings *settings);

// Writes `settings` to config.ini in the host's folder, creating the folder
// when needed, and then removes any copy in the user's own folder; when the
// host's folder refuses the file, writes it to the user's own folder instead.
// The new content goes to a temporary file that then replaces the old file
// in one step, so a failed save leaves the previous file exactly as it was.
// Returns 0 when the file was written to either, non-zero when it was not.
int cfg_save(const cfg_file &file, const cfg_settings &settings);
