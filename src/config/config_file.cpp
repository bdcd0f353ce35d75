// Settings file: folder resolution by host version, the line reader over a
// Win32 file handle, load, the replace-in-one-step save, and the user's own
// folder that takes the file when the host's folder refuses it.
#include "config/config_file.h"

#include "config/ini_reader.h"
#include "dirtools/dirtools.h"
#include "plugin/host.h"
#include "winamp_gen.h"

#include <shlobj.h>
#include <windows.h>

namespace {

constexpr wchar_t folder_name[] = L"tolvek";
constexpr wchar_t file_name[] = L"config.ini";
constexpr wchar_t temporary_file_name[] = L"config.ini.new";

// Host versions that changed how the plug-in directory is asked for. Winamp
// 5.yx reports 0x50yx, so every Winamp 5 falls in the settings directory's range.
constexpr unsigned first_version_with_wide_plugin_directory = 0x5580;
constexpr unsigned first_version_with_plugin_directory = 0x5110;
constexpr unsigned first_version_with_wide_ini_directory = 0x5058; // Winamp 5.58
constexpr unsigned first_version_with_ini_directory = 0x2900;

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

LRESULT ask_host(LPARAM query)
{
    return SendMessageA(host_window(), WM_WA_IPC, 0, query);
}

// An 8-bit answer of the host converted through the ANSI code page; empty on failure.
std::wstring ansi_to_wide(const char *text)
{
    if (text == nullptr) {
        return {};
    }
    const int count = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, nullptr, 0);
    if (count <= 0) {
        return {};
    }
    std::wstring wide(static_cast<size_t>(count), L'\0');
    if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, wide.data(), count) <= 0) {
        return {};
    }
    wide.resize(wcslen(wide.c_str()));
    return wide;
}

// The per-user application data folder + "Winamp\Plugins": the plug-in
// directory of the oldest hosts, and the user's own one for every host.
std::wstring user_plugin_directory()
{
    wchar_t folder[MAX_PATH] = {};
    if (SHGetFolderPathW(host_window(), CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK) {
        return {};
    }
    return dirtools_join_path(folder, L"Winamp\\Plugins");
}

std::wstring wide_answer(LPARAM query)
{
    const auto *text = reinterpret_cast<const wchar_t *>(ask_host(query));
    return text != nullptr ? text : L"";
}

std::wstring ansi_answer(LPARAM query)
{
    return ansi_to_wide(reinterpret_cast<const char *>(ask_host(query)));
}

// The host's plug-in directory, asked in the way its version understands.
std::wstring plugin_directory()
{
    const auto version = static_cast<unsigned>(ask_host(IPC_GETVERSION));
    if (version >= first_version_with_wide_plugin_directory) {
        return wide_answer(IPC_GETPLUGINDIRECTORYW);
    }
    if (version >= first_version_with_plugin_directory) {
        return ansi_answer(IPC_GETPLUGINDIRECTORY);
    }
    if (version < first_version_with_ini_directory) {
        return user_plugin_directory();
    }
    // The 8-bit answer cannot name a profile folder outside the ANSI code
    // page (a Cyrillic user name on a Western system): ask for the wide one
    // wherever the host knows it.
    const std::wstring settings_directory = version >= first_version_with_wide_ini_directory
                                                ? wide_answer(IPC_GETINIDIRECTORYW)
                                                : ansi_answer(IPC_GETINIDIRECTORY);
    return dirtools_join_path(settings_directory, L"Plugins");
}

// Buffered bytes of an open file for the INI reader.
struct file_line_source {
    HANDLE file;
    char buffer[512];
    DWORD position = 0;
    DWORD filled = 0;
};

bool next_byte(file_line_source &source, char &byte)
{
    if (source.position == source.filled) {
        source.position = 0;
        if (!ReadFile(source.file, source.buffer, sizeof source.buffer, &source.filled, nullptr) ||
            source.filled == 0) {
            source.filled = 0;
            return false;
        }
    }
    byte = source.buffer[source.position++];
    return true;
}

// The fgets contract over a file handle.
char *cfg_read_line(char *line, int size, void *stream)
{
    auto &source = *static_cast<file_line_source *>(stream);
    return ini_fill_line(line, size, [&source](char &byte) { return next_byte(source, byte); });
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
    file_line_source source{};
    source.file = file.get();
    ini_read_stream(&cfg_read_line, &source, &cfg_handler, settings);
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

// The user's own folder when it differs from the host's; empty otherwise.
std::wstring separate_user_folder(const std::wstring &folder)
{
    std::wstring user = cfg_get_user_folder();
    if (!folder.empty() && _wcsicmp(user.c_str(), folder.c_str()) == 0) {
        return {};
    }
    return user;
}

} // namespace

std::wstring cfg_get_folder()
{
    return dirtools_join_path(plugin_directory(), folder_name);
}

std::wstring cfg_get_user_folder()
{
    return dirtools_join_path(user_plugin_directory(), folder_name);
}

void cfg_load(cfg_settings *settings)
{
    const std::wstring folder = cfg_get_folder();
    // A file in the user's own folder was written there because the host's
    // folder refused it, so it holds the newer choices.
    const std::wstring user = separate_user_folder(folder);
    if (!user.empty() && load_from(user, settings)) {
        return;
    }
    load_from(folder, settings);
}

int cfg_save(const cfg_settings *settings)
{
    const std::wstring folder = cfg_get_folder();
    if (folder.empty()) {
        return 1;
    }
    const std::string content = cfg_format(*settings);
    const std::wstring user = separate_user_folder(folder);
    if (save_to(folder, content)) {
        // The host's folder holds the newest choices again: a copy left in
        // the user's folder would shadow them at the next load.
        if (!user.empty()) {
            DeleteFileW(dirtools_join_path(user, file_name).c_str());
        }
        return 0;
    }
    // The host's folder refuses writes (a Winamp under Program Files, a full
    // disk, a locked file): keep the choices in the user's own folder.
    return save_to(user, content) ? 0 : 1;
}
