// Settings file: the folders under the directories the caller names, the
// whole-file read (shared, retried while another program holds the file)
// handed to the settings rules, load, the replace-in-one-step save (retried
// while another program holds the file), and this install's fallback folder
// that takes the file when the host's refuses it.
#include "config/config_file.h"

#include "common/unique_handle.h"
#include "config/folder_code.h"
#include "dirtools/dirtools.h"

#include <windows.h>

#include <algorithm>

namespace {

constexpr wchar_t folder_name[] = L"tolvek";
constexpr wchar_t file_name[] = L"config.ini";
constexpr wchar_t temporary_file_name[] = L"config.ini.new";
constexpr wchar_t fallback_prefix[] = L"fallback-";

// What opening and reading a settings file found.
enum class read_outcome { read, absent, unreadable };

// What a save to one folder came to: written; refused by the folder (no
// folder, no new file allowed, a read-only file, a full disk); or the file
// held open by another program, which the folder would otherwise take.
enum class save_outcome { saved, refused, held };

// Tries to open a file that another program holds open without sharing this
// often, this far apart, before taking it as unreadable (about 0.2 s in all).
constexpr int open_attempts = 10;
constexpr DWORD open_retry_ms = 20;

// Tries to replace a file that another program holds open this often, this
// far apart (about 0.2 s in all: saves run on the host's main thread).
constexpr int replace_attempts = 10;
constexpr DWORD replace_retry_ms = 20;

// Far beyond any settings file; a larger file is not one this plug-in wrote.
constexpr DWORD largest_file = 64 * 1024;

// Errors of an open that mean there is no such file (a folder on the way
// missing, or a file where a folder should be), as opposed to one we may not read.
bool is_absent(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY ||
           error == ERROR_INVALID_NAME;
}

// Opens `path` for reading, letting others read, write and delete it
// meanwhile: an editor or a sync tool that holds the file open for writing
// with full sharing must not leave the plug-in on its defaults.
HANDLE open_for_reading(const std::wstring &path, DWORD &error)
{
    for (int attempt = 1;; ++attempt) {
        HANDLE file =
            CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        error = GetLastError();
        if (file != INVALID_HANDLE_VALUE ||
            (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) || attempt == open_attempts) {
            return file;
        }
        Sleep(open_retry_ms);
    }
}

// Reads the whole settings file at `path` into `source`.
read_outcome read_source(const std::wstring &path, cfg_source &source)
{
    source = cfg_source{path, {}, false, 0, 0};
    if (path.empty()) {
        return read_outcome::absent;
    }
    DWORD error = 0;
    const file_handle file(open_for_reading(path, error));
    if (!file) {
        source.unreadable = !is_absent(error);
        return source.unreadable ? read_outcome::unreadable : read_outcome::absent;
    }
    source.unreadable = true;
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file.get(), &information) || information.nFileSizeHigh != 0 ||
        information.nFileSizeLow > largest_file) {
        return read_outcome::unreadable;
    }
    std::string content(information.nFileSizeLow, '\0');
    DWORD got = 0;
    if (!ReadFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &got, nullptr)) {
        return read_outcome::unreadable;
    }
    content.resize(got);
    source.content = std::move(content);
    source.unreadable = false;
    source.size = information.nFileSizeLow;
    source.written = (uint64_t{information.ftLastWriteTime.dwHighDateTime} << 32) |
                     information.ftLastWriteTime.dwLowDateTime;
    return read_outcome::read;
}

// Whether the file `source` describes may differ from what it held then: it
// could not be read, or its size or write time (or its being there) changed.
bool changed_since(const cfg_source &source)
{
    if (source.unreadable) {
        return true;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const bool there = !source.path.empty() &&
                       GetFileAttributesExW(source.path.c_str(), GetFileExInfoStandard, &data) &&
                       (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    if (!there || !source.content) {
        return there != source.content.has_value();
    }
    const uint64_t written =
        (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
    return data.nFileSizeHigh != 0 || data.nFileSizeLow != source.size || written != source.written;
}

// Whether a file named `path` exists (a folder of that name does not count).
bool file_exists(const std::wstring &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Windows refuses to replace a read-only file, Wine does not: ask first.
bool is_read_only(const std::wstring &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// When the file `path` was last written; 0 when there is no such file.
uint64_t last_written(const std::wstring &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return 0;
    }
    return (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// Whether another program has the file `path` open: no one may open it
// without sharing then. (Windows and Wine refuse to replace a file that is
// open even when its holder shares deletion, with ERROR_ACCESS_DENIED, which
// a file the user may not replace gives as well.)
bool is_held(const std::wstring &path)
{
    const HANDLE probe =
        CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        return false;
    }
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// Whether a save could write config.ini in `folder`: the folder can be
// created, its file is not read-only, and a new file can be made there (the
// one a save would make, which vanishes again when closed).
bool takes_settings_file(const std::wstring &folder)
{
    if (folder.empty() || dirtools_create_directory(folder) != 0 ||
        is_read_only(dirtools_join_path(folder, file_name))) {
        return false;
    }
    const file_handle probe(CreateFileW(dirtools_join_path(folder, temporary_file_name).c_str(),
                                        GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return static_cast<bool>(probe);
}

// The code of `folder`'s fallback folder, the same for every spelling of it,
// as Windows names are case-insensitive.
std::wstring fallback_folder_name(const std::wstring &folder)
{
    std::wstring upper = folder;
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    const std::string code = cfg_folder_code(std::u16string(upper.begin(), upper.end()));
    return fallback_prefix + std::wstring(code.begin(), code.end());
}

// Writes all of `content` to `file` and onto the disk.
bool write_whole(HANDLE file, const std::string &content)
{
    DWORD written = 0;
    return WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
           written == content.size() && FlushFileBuffers(file);
}

// Moves the written temporary file over config.ini; while another program
// holds config.ini open, tries again for a moment.
save_outcome replace_settings_file(const std::wstring &temporary, const std::wstring &path)
{
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(temporary.c_str(), path.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return save_outcome::saved;
        }
        if (!is_held(path)) {
            return save_outcome::refused;
        }
        if (attempt == replace_attempts) {
            return save_outcome::held;
        }
        Sleep(replace_retry_ms);
    }
}

// Writes `content` as config.ini of `folder` through a temporary file that
// replaces the old one in one step; anything but `saved` writes nothing.
save_outcome save_to(const std::wstring &folder, const std::string &content)
{
    if (folder.empty() || dirtools_create_directory(folder) != 0) {
        return save_outcome::refused;
    }
    const std::wstring path = dirtools_join_path(folder, file_name);
    const std::wstring temporary = dirtools_join_path(folder, temporary_file_name);
    if (is_read_only(path)) {
        return save_outcome::refused;
    }

    file_handle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return save_outcome::refused;
    }
    const bool complete = write_whole(file.get(), content);
    // Closed here, and checked: a close can report that the writes failed.
    const save_outcome outcome = CloseHandle(file.release()) && complete
                                     ? replace_settings_file(temporary, path)
                                     : save_outcome::refused;
    if (outcome != save_outcome::saved) {
        DeleteFileW(temporary.c_str());
    }
    return outcome;
}

// Removes the fallback copy once the host's folder holds the newest choices.
// A copy that cannot be removed (another program holds it without delete
// sharing) gets the same content instead, written in place, so that no later
// load reads older choices from it.
void retire_fallback_copy(const std::wstring &fallback_folder, const std::string &content)
{
    if (fallback_folder.empty()) {
        return;
    }
    const std::wstring path = dirtools_join_path(fallback_folder, file_name);
    if (DeleteFileW(path.c_str()) || !file_exists(path)) {
        RemoveDirectoryW(fallback_folder.c_str());
        return;
    }
    const file_handle copy(CreateFileW(path.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (copy) {
        write_whole(copy.get(), content);
    }
}

// The previous version kept every install's fallback copy as the user's own
// config.ini, which is also the main file of a Winamp that keeps its settings
// in the user's profile (its winamp.ini two levels up). That file is this
// install's copy when no such Winamp is there and this install could not
// have written its own folder, the only case in which that version kept it.
bool holds_previous_fallback_copy(const cfg_file &file)
{
    return !file.shared_folder.empty() && file_exists(dirtools_join_path(file.shared_folder, file_name)) &&
           !file_exists(dirtools_join_path(file.shared_folder, L"..\\..\\winamp.ini")) &&
           !takes_settings_file(file.folder);
}

// The fallback copy holds the newest choices only while the host's folder
// refuses the file: once it takes it again, a file there that is newer than
// the copy (the user's edit, or a save by another version) wins.
bool folder_file_supersedes_fallback_copy(const cfg_file &file)
{
    const uint64_t copy = last_written(dirtools_join_path(file.fallback_folder, file_name));
    return copy != 0 && last_written(dirtools_join_path(file.folder, file_name)) > copy &&
           takes_settings_file(file.folder);
}

// Loads from `folder` when it has a file; true when the search ends there.
bool load_first(cfg_file &file, const std::wstring &folder, cfg_settings *settings)
{
    cfg_source source;
    const read_outcome outcome = read_source(dirtools_join_path(folder, file_name), source);
    if (outcome == read_outcome::absent) {
        return false;
    }
    if (outcome == read_outcome::read) {
        cfg_parse(*source.content, settings);
    }
    file.source = std::move(source);
    return true;
}

// Adds the keys whose values differ between `before` and `after` to the pending ones.
void add_pending_keys(cfg_file &file, const cfg_settings &before, const cfg_settings &after)
{
    for (std::string &key : cfg_changed_keys(before, after)) {
        if (std::find(file.pending_keys.begin(), file.pending_keys.end(), key) == file.pending_keys.end()) {
            file.pending_keys.push_back(std::move(key));
        }
    }
}

// Remembers `content` as what the file at `path` holds, just written.
void remember_written(cfg_file &file, const std::wstring &path, const std::string &content)
{
    cfg_source source;
    if (read_source(path, source) != read_outcome::read || source.content != content) {
        // Another program wrote it in between: whatever it holds is read again before the next save.
        source.unreadable = true;
    }
    file.source = std::move(source);
    file.pending_keys.clear();
}

} // namespace

cfg_file cfg_locate(const std::wstring &host_plugin_directory, const std::wstring &user_plugin_directory)
{
    cfg_file file{dirtools_join_path(host_plugin_directory, folder_name), {}, {}, {}, {}};
    const std::wstring user = dirtools_join_path(user_plugin_directory, folder_name);
    if (file.folder.empty() || user.empty() || _wcsicmp(user.c_str(), file.folder.c_str()) == 0) {
        return file;
    }
    file.fallback_folder = dirtools_join_path(user, fallback_folder_name(file.folder));
    file.shared_folder = user;
    return file;
}

void cfg_load(cfg_file &file, cfg_settings *settings)
{
    // A fallback copy was written because the host's folder refused the
    // file, so it holds the newer choices, unless a newer file came since.
    if (!folder_file_supersedes_fallback_copy(file) && load_first(file, file.fallback_folder, settings)) {
        return;
    }
    if (holds_previous_fallback_copy(file) && load_first(file, file.shared_folder, settings)) {
        return;
    }
    if (!load_first(file, file.folder, settings)) {
        // No file yet: one that appears there before a save is read then.
        file.source = cfg_source{dirtools_join_path(file.folder, file_name), {}, false, 0, 0};
    }
}

int cfg_save_changes(cfg_file &file, const cfg_settings &before, cfg_settings *settings)
{
    add_pending_keys(file, before, *settings);
    return cfg_save_pending(file, settings);
}

int cfg_save_pending(cfg_file &file, cfg_settings *settings)
{
    if (file.pending_keys.empty()) {
        return 0;
    }
    if (file.folder.empty()) {
        return 1;
    }
    if (changed_since(file.source)) {
        // Another program (an editor) changed the file since it was read:
        // the keys the user did not change take what it says now.
        cfg_source current;
        if (read_source(file.source.path, current) == read_outcome::unreadable) {
            return 1;
        }
        file.source = std::move(current);
    }
    const cfg_merge merge = cfg_merge_changes(file.source.content, *settings, file.pending_keys);
    *settings = merge.settings;
    if (!merge.writes) {
        // The file the settings came from holds every change already.
        file.pending_keys.clear();
        return 0;
    }
    switch (save_to(file.folder, merge.text)) {
    case save_outcome::saved:
        // The host's folder holds the newest choices again: the fallback copy
        // would shadow them at the next load.
        retire_fallback_copy(file.fallback_folder, merge.text);
        remember_written(file, dirtools_join_path(file.folder, file_name), merge.text);
        return 0;
    case save_outcome::held:
        // Another program (an editor) has the file open: a fallback copy
        // would shadow what it saves there at the next start.
        return 1;
    case save_outcome::refused:
        break;
    }
    // The host's folder refuses writes (a Winamp under Program Files, a full
    // disk, a read-only file): keep the choices in this install's fallback
    // folder, where the next load reads them first.
    if (save_to(file.fallback_folder, merge.text) != save_outcome::saved) {
        return 1;
    }
    remember_written(file, dirtools_join_path(file.fallback_folder, file_name), merge.text);
    return 0;
}
