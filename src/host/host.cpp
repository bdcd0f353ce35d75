// The host's main window and the plug-in's DLL, as start-up remembered them,
// and the host's directories asked through its main window.
#include "host/host.h"

#include "dirtools/dirtools.h"
#include "winamp_gen.h"

#include <shlobj.h>

namespace {

HWND main_window;
HINSTANCE dll;

// Host versions that changed how the plug-in directory is asked for. Winamp
// 5.yx reports 0x50yx, so every Winamp 5 falls in the settings directory's range.
constexpr unsigned first_version_with_wide_plugin_directory = 0x5580;
constexpr unsigned first_version_with_plugin_directory = 0x5110;
constexpr unsigned first_version_with_wide_ini_directory = 0x5058; // Winamp 5.58
constexpr unsigned first_version_with_ini_directory = 0x2900;

LRESULT ask_host(LPARAM query)
{
    return SendMessageA(main_window, WM_WA_IPC, 0, query);
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

std::wstring wide_answer(LPARAM query)
{
    const auto *text = reinterpret_cast<const wchar_t *>(ask_host(query));
    return text != nullptr ? text : L"";
}

std::wstring ansi_answer(LPARAM query)
{
    return ansi_to_wide(reinterpret_cast<const char *>(ask_host(query)));
}

} // namespace

void host_remember(HWND window, HINSTANCE plugin)
{
    main_window = window;
    dll = plugin;
}

HWND host_window()
{
    return main_window;
}

HINSTANCE plugin_dll()
{
    return dll;
}

std::wstring host_plugin_directory()
{
    const auto version = static_cast<unsigned>(ask_host(IPC_GETVERSION));
    if (version >= first_version_with_wide_plugin_directory) {
        return wide_answer(IPC_GETPLUGINDIRECTORYW);
    }
    if (version >= first_version_with_plugin_directory) {
        return ansi_answer(IPC_GETPLUGINDIRECTORY);
    }
    if (version < first_version_with_ini_directory) {
        return host_user_plugin_directory();
    }
    // The 8-bit answer cannot name a profile folder outside the ANSI code
    // page (a Cyrillic user name on a Western system): ask for the wide one
    // wherever the host knows it.
    const std::wstring settings_directory = version >= first_version_with_wide_ini_directory
                                                ? wide_answer(IPC_GETINIDIRECTORYW)
                                                : ansi_answer(IPC_GETINIDIRECTORY);
    return dirtools_join_path(settings_directory, L"Plugins");
}

std::wstring host_user_plugin_directory()
{
    wchar_t folder[MAX_PATH] = {};
    if (SHGetFolderPathW(main_window, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK) {
        return {};
    }
    return dirtools_join_path(folder, L"Winamp\\Plugins");
}
