// The settings file config.ini in the plug-in's folder "tolvek" under the
// host's plug-in directory, or, when the host's folder refuses writes, in a
// fallback folder of this install's own under the user's plug-in directory:
// the folders, loading and saving. The caller names the directories; nothing
// here asks the host.
#pragma once

#include "config/settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A settings file as it was last read or written.
struct cfg_source {
    // Empty: no file was found; a save then starts config.ini in the host's folder.
    std::wstring path;
    // What the file held; none when there was none or it could not be read.
    std::optional<std::string> content;
    bool unreadable = false;
    // Its size and last write time then, which tell whether it changed since.
    uint64_t size = 0;
    uint64_t written = 0;
};

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
    // The file the settings came from (config.ini in `folder`, the fallback
    // copy, or the previous version's copy), as the load or the last save
    // found it.
    cfg_source source;
    // The keys the user changed whose values are not in a file yet: a save
    // found the file held by another program, or no folder took it.
    std::vector<std::string> pending_keys;
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
// leaves `settings` as they were. Remembers the file in `file.source`.
void cfg_load(cfg_file &file, cfg_settings *settings);

// The user changed the settings from `before` to `*settings` (the settings
// dialog's OK, a menu switch): records each key whose value differs as
// pending, then writes the pending changes as cfg_save_pending does. Call it
// on the host's main thread after the change is in `*settings`; it may also
// set other fields of `*settings` to what the file says now, so refresh
// whatever shows them afterwards. Returns 0 when a file holds every change
// the user made, non-zero when changes stay pending (the file is held by
// another program, or no folder takes it): they are in force all the same,
// and the next call (at the latest the one when the host quits) tries again.
int cfg_save_changes(cfg_file &file, const cfg_settings &before, cfg_settings *settings);

// Writes the pending changes, and nothing else: with none pending, touches
// no file at all (so a file the user edited by hand stays as it is, and a
// missing file stays missing). Otherwise reads the file the settings came
// from again when its size or write time changed since it was read (or it
// could not be read), so that the keys the user did not change take what it
// says now, in `*settings` too; then changes only the lines of the pending
// keys whose values the file does not hold yet (cfg_merge_changes), keeping
// every other line. The result goes to config.ini in the host's folder
// (creating the folder when needed), and this install's fallback copy is
// then removed; when the host's folder refuses the file, to the fallback
// folder instead. A file that another program holds open (an editor) is tried
// again for a moment and otherwise left as it is, the changes staying pending:
// no fallback copy is made, since it would shadow the holder's (the user's)
// edit at the next start. Never writes or removes the shared folder's
// config.ini, which may be another install's own file. The new content goes
// to a temporary file that then replaces the old file in one step, so a
// failed save leaves the previous file exactly as it was. Returns 0 when
// nothing is pending any more, non-zero otherwise.
int cfg_save_pending(cfg_file &file, cfg_settings *settings);
