// File helpers for the integration tests: a fresh folder per test under the
// Wine prefix's temporary directory, whole-file reads and writes, and the
// user's own settings folder.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

inline std::wstring fresh_test_folder()
{
    static int counter;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"corvane-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                          std::to_wstring(++counter);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

inline void remove_tree(const std::wstring &folder)
{
    std::wstring from = folder;
    from.push_back(L'\0'); // the list of paths ends with two NULs
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    SHFileOperationW(&operation);
}

inline bool exists(const std::wstring &path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline bool is_directory(const std::wstring &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Whole content, or "<missing>" when the file cannot be opened.
inline std::string read_file(const std::wstring &path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "<missing>";
    }
    std::string content;
    char buffer[4096];
    DWORD got;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        content.append(buffer, got);
    }
    CloseHandle(file);
    return content;
}

inline void write_file(const std::wstring &path, const std::string &content)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

inline std::wstring application_data()
{
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
    return folder;
}

// The user's own settings folder: the main one of a Winamp that keeps its
// settings under the application data folder, and where each other install
// keeps its fallback folder.
inline std::wstring user_settings_folder()
{
    return application_data() + L"\\Winamp\\Plugins\\tolvek";
}

inline std::wstring user_settings_file()
{
    return user_settings_folder() + L"\\config.ini";
}

// The settings file of a Winamp that keeps its settings in the user's profile.
inline std::wstring profile_winamp_settings()
{
    return application_data() + L"\\Winamp\\winamp.ini";
}

// Every install's fallback copy of the settings, one folder "fallback-..." each.
inline std::vector<std::wstring> fallback_settings_files()
{
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((user_settings_folder() + L"\\fallback-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return files;
    }
    do {
        files.push_back(user_settings_folder() + L"\\" + found.cFileName + L"\\config.ini");
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return files;
}

// The content of the one fallback copy there is, "<none>" without one,
// "<several>" with more than one.
inline std::string fallback_settings()
{
    const std::vector<std::wstring> files = fallback_settings_files();
    return files.empty() ? "<none>" : files.size() > 1 ? "<several>" : read_file(files.front());
}

// Removes every install's fallback copy, the user's own settings file and
// the profile's Winamp settings.
inline void remove_user_settings()
{
    DeleteFileW(profile_winamp_settings().c_str());
    for (const std::wstring &file : fallback_settings_files()) {
        remove_tree(file.substr(0, file.rfind(L'\\')));
    }
    DeleteFileW(user_settings_file().c_str());
}

// A folder that tests/private-net-run names in the environment variable
// `name`; empty outside the private test network.
inline std::wstring test_network_folder(const wchar_t *name)
{
    const wchar_t *folder = _wgetenv(name);
    return folder != nullptr ? folder : L"";
}
