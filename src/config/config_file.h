// The settings file config.ini in the plug-in's folder "tolvek" under the
// host's plug-in directory, or, when the host's folder refuses writes, in a
// fallback folder of this install's own under the user's plug-in directory:
// the folders, loading and saving. The caller names the directories; nothing
// here asks the host.
#pragma once

#include "config/settings.h"

#include <optional>
#include <string>

// Where the settings file of this install lives, and what its load found.
struct cfg_file {
    // The host's folder for it, without a trailing backslash; empty when
    // the host named no plug-in directory.
    std::wstring folder;
    // The fallback folder that takes the file when `folder` cannot be
    // written: "fallback-" and a code made from `folder`, under the user's
    // "tolvek" folder, so each install has its own. Empty when `folder` is
    // the user's "tolvek" folder itself, or either is unknown.
    std::wstring fallback_folder;
    // The user's "tolvek" folder when it is not this install's own folder:
    // the previous version kept its fallback copy there, as config.ini.
    std::wstring shared_folder;
    // Set by a load that met a settings file it could not read: the settings
    // as they stood then. While the settings still equal them, a save leaves
    // every file alone, so defaults never replace choices that were unreadable.
    std::optional<cfg_settings> unread_file_settings;
    // The settings whose exact text config.ini in the host's folder holds, as
    // this plug-in last read or wrote it there. A save of the same settings
    // leaves that file alone while it exists, so a file that another program
    // (an editor) holds open, or that the user edited since, is not rewritten
    // for nothing.
    std::optional<cfg_settings> settings_in_folder;
};

// The folders under the host's plug-in directory and the user's own one
// (the per-user application data folder + "Winamp\Plugins").
cfg_file cfg_locate(const std::wstring &host_plugin_directory, const std::wstring &user_plugin_directory);

// Reads this install's settings into `settings`, from the first place that has
// a file: the fallback folder, unless the host's folder has a newer file (the
// user's edit); the previous version's copy in the shared
// folder, taken only while the host's folder refuses writes (the one case in
// which that version kept it there) and no Winamp keeps its settings in the
// user's profile (whose file it would be); the host's folder. Keys missing from the
// file leave their fields as they were. A file that is held open without
// sharing is tried again for a moment; a file that still cannot be read
// leaves `settings` as they were and sets `file.unread_file_settings`.
void cfg_load(cfg_file &file, cfg_settings *settings);

// Writes `settings` to config.ini in the host's folder, creating the folder
// when needed, and then removes this install's fallback copy; when the host's
// folder refuses the file, writes it to the fallback folder instead. A file
// that another program holds open is tried again for a moment and otherwise
// left as it is: the save fails and no fallback copy is made, since that copy
// would shadow the holder's (the user's) edit at the next start. Never
// writes or removes the shared folder's config.ini, which may be another
// install's own file. Writes nothing while `settings` equal the settings of a
// load that could not read the file, or those the host's folder's file already
// holds. The new content goes to a temporary file that then replaces the old
// file in one step, so a failed save leaves the previous file exactly as it
// was. Returns 0 when the file holds `settings` or was left alone on purpose,
// non-zero when they could not be written.
int cfg_save(cfg_file &file, const cfg_settings &settings);
