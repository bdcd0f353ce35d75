// Settings file: the folders under the directories the caller names, the
// whole-file read handed to the settings rules, load, the replace-in-one-step
// save, and the user's own folder that takes the file when the host's folder
// refuses it.
#include "config/config_file.h"

#include "dirtools/dirtools.h"

#include <windows.h>

namespace {

constexpr wchar_t folder_name[] = L"tolvek";
constexpr wchar_t file_name[] = L"config.ini";
constexpr wchar_t temporary_file_name[] = L"config.ini.new";

// Owner of a file handle; INVALID_HANDLE_VALUE when empty.
class unique_file {
  public:
    explicit unique_file(HANDLE handle) : handle_(handle) {}
    ~unique_file() { close(); }
    unique_file(const unique_file &) = delete;
    unique_file &operator=(const unique_file &) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool close()
    {
        const bool closed = !valid() || CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }

  private:
    HANDLE handle_;
};

// Appends everything `file` holds from its current position to `content`.
bool read_rest(HANDLE file, std::string &content)
{
    char buffer[512];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
        if (got == 0) {
            return true;
        }
        content.append(buffer, got);
    }
    return false;
}

// Reads config.ini of `folder` into `settings`; false when the file cannot be opened.
bool load_from(const std::wstring &folder, cfg_settings *settings)
{
    const std::wstring path = dirtools_join_path(folder, file_name);
    if (path.empty()) {
        return false;
    }
    unique_file file(
        CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        return false;
    }
    std::string content;
    read_rest(file.get(), content);
    cfg_parse(content, settings);
    return true;
}

// Writes `content` as config.ini of `folder` through a temporary file that
// replaces the old one in one step; false when nothing was written.
bool save_to(const std::wstring &folder, const std::string &content)
{
    if (folder.empty() || dirtools_create_directory(folder) != 0) {
        return false;
    }
    const std::wstring path = dirtools_join_path(folder, file_name);
    const std::wstring temporary = dirtools_join_path(folder, temporary_file_name);
    // Windows refuses to replace a read-only file, Wine does not: ask first.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return false;
    }

    unique_file file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        return false;
    }
    DWORD written = 0;
    const bool complete =
        WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
        written == content.size() && FlushFileBuffers(file.get());
    if (!file.close() || !complete ||
        !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

cfg_file cfg_locate(const std::wstring &host_plugin_directory, const std::wstring &user_plugin_directory)
{
    cfg_file file{dirtools_join_path(host_plugin_directory, folder_name),
                  dirtools_join_path(user_plugin_directory, folder_name)};
    if (!file.folder.empty() && _wcsicmp(file.user_folder.c_str(), file.folder.c_str()) == 0) {
        file.user_folder.clear();
    }
    return file;
}

void cfg_load(const cfg_file &file, cfg_settings *settings)
{
    // A file in the user's own folder was written there because the host's
    // folder refused it, so it holds the newer choices.
    if (!file.user_folder.empty() && load_from(file.user_folder, settings)) {
        return;
    }
    load_from(file.folder, settings);
}

int cfg_save(const cfg_file &file, const cfg_settings &settings)
{
    if (file.folder.empty()) {
        return 1;
    }
    const std::string content = cfg_format(settings);
    if (save_to(file.folder, content)) {
        // The host's folder holds the newest choices again: a copy left in
        // the user's folder would shadow them at the next load.
        if (!file.user_folder.empty()) {
            DeleteFileW(dirtools_join_path(file.user_folder, file_name).c_str());
        }
        return 0;
    }
    // The host's folder refuses writes (a Winamp under Program Files, a full
    // disk, a locked file): keep the choices in the user's own folder.
    return save_to(file.user_folder, content) ? 0 : 1;
}
