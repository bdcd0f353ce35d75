// The installer as a user runs it, in a Wine prefix of its own: silently, it
// finds Winamp where Winamp's installer recorded it, the plug-in it installs
// runs in the simulated host from there, and its uninstaller, started from
// the Add/Remove Programs entry of its Winamp folder, removes what it
// installed and nothing else; through its wizard, it asks nothing more, and
// its folder page says why it cannot install into a folder.
#include "files.h"
#include "sim_host.h"
#include "fake_discord.h"
#include "version.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The first Winamp's entry; a second Winamp's gets "-2".
const wchar_t uninstall_key[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\DiscordCorvane";
const wchar_t second_uninstall_key[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\DiscordCorvane-2";
// The placeholder application id makes a test build.
const wchar_t entry_name[] = L"Discord Corvane (Winamp plug-in, test build) - ";
// Where Winamp's installer records Winamp's folder: its own uninstaller for
// the machine, the folder itself for the user.
const wchar_t winamp_uninstall_key[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Winamp";
const wchar_t winamp_user_key[] = L"Software\\Winamp";

std::wstring build_folder()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.rfind(L'\\'));
}

std::wstring program_files()
{
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, folder);
    return folder;
}

std::wstring registry_text(HKEY root, const wchar_t *key, const wchar_t *name)
{
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
        return L"<missing>";
    }
    return value;
}

void set_registry_text(HKEY root, const wchar_t *key, const wchar_t *name, const std::wstring &value)
{
    RegSetKeyValueW(root, key, name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * 2));
}

// Runs `command_line` and waits until it and every process it started have
// ended: an NSIS uninstaller hands over to a copy of itself and returns at
// once (with 0, whatever the copy does). Returns the first process's exit code.
DWORD run_to_the_end(std::wstring command_line)
{
    // Wine starts its desktop process for the first window of a session;
    // started from inside the job, it would keep the job alive.
    GetDesktopWindow();
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association{job, port};
    SetInformationJobObject(job, JobObjectAssociateCompletionPortInformation, &association,
                            sizeof association);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    DWORD code = 0xFFFFFFFF;
    if (CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                       nullptr, &startup, &process)) {
        AssignProcessToJobObject(job, process.hProcess);
        ResumeThread(process.hThread);
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        DWORD message = 0;
        ULONG_PTR key;
        LPOVERLAPPED overlapped;
        while (message != JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO &&
               GetQueuedCompletionStatus(port, &message, &key, &overlapped, 60000)) {
        }
    }
    CloseHandle(port);
    CloseHandle(job);
    return code;
}

DWORD run_setup(const std::wstring &arguments)
{
    return run_to_the_end(L"\"" + build_folder() + L"\\DiscordCorvane-setup.exe\" " + arguments);
}

// The quiet uninstall command of an Add/Remove Programs entry, as a
// management tool would run it.
void run_quiet_uninstall(const wchar_t *key = uninstall_key)
{
    run_to_the_end(registry_text(HKEY_LOCAL_MACHINE, key, L"QuietUninstallString"));
}

// Folders made by a test, removed after it.
std::vector<std::wstring> made_folders;

// Another plug-in of a Winamp folder, which the uninstaller leaves alone.
const std::string other_plugin = "MZ another plug-in";

// A Winamp folder as its installer leaves it, with another plug-in in Plugins.
std::wstring make_winamp(const std::wstring &folder)
{
    remove_tree(folder);
    EXPECT_EQ(SHCreateDirectoryExW(nullptr, (folder + L"\\Plugins").c_str(), nullptr), ERROR_SUCCESS);
    write_file(folder + L"\\winamp.exe", "MZ");
    write_file(folder + L"\\Plugins\\gen_other.dll", other_plugin);
    made_folders.push_back(folder);
    return folder;
}

std::wstring register_for_machine(const std::wstring &winamp)
{
    set_registry_text(HKEY_LOCAL_MACHINE, winamp_uninstall_key, L"UninstallString",
                      L"\"" + winamp + L"\\UninstWA.exe\"");
    return winamp;
}

std::wstring register_for_user(const std::wstring &winamp)
{
    set_registry_text(HKEY_CURRENT_USER, winamp_user_key, nullptr, winamp);
    return winamp;
}

void forget_winamp()
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, winamp_uninstall_key);
    RegDeleteTreeW(HKEY_CURRENT_USER, winamp_user_key);
}

class installer : public testing::Test {
  protected:
    void SetUp() override { forget_winamp(); }

    void TearDown() override
    {
        forget_winamp();
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, uninstall_key);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, second_uninstall_key);
        for (const std::wstring &folder : made_folders) {
            remove_tree(folder);
        }
        made_folders.clear();
    }
};

std::string shipped_plugin()
{
    return read_file(build_folder() + L"\\gen_DiscordCorvane.dll");
}

const std::wstring elsewhere = L"C:\\Apps\\Winamp Player";

struct location_case {
    const char *what;
    std::wstring (*prepare)(); // makes and registers Winamps; returns the one to install into
    const wchar_t *arguments;
};

class where_it_installs : public installer, public testing::WithParamInterface<location_case> {};

TEST_P(where_it_installs, the_plugin_lands_in_the_plugins_folder_of_the_winamp_found)
{
    const std::wstring winamp = GetParam().prepare();
    ASSERT_EQ(run_setup(GetParam().arguments), 0u);
    EXPECT_EQ(read_file(winamp + L"\\Plugins\\gen_DiscordCorvane.dll"), shipped_plugin());
    EXPECT_TRUE(exists(winamp + L"\\Plugins\\DiscordCorvane-uninstall.exe"));
    EXPECT_EQ(read_file(winamp + L"\\Plugins\\DiscordCorvane-LICENSE.txt").rfind("MIT License", 0), 0u);
    EXPECT_EQ(registry_text(HKEY_LOCAL_MACHINE, uninstall_key, L"UninstallString"),
              L"\"" + winamp + L"\\Plugins\\DiscordCorvane-uninstall.exe\"");
    EXPECT_EQ(registry_text(HKEY_LOCAL_MACHINE, uninstall_key, L"DisplayName"), entry_name + winamp);
    EXPECT_EQ(registry_text(HKEY_LOCAL_MACHINE, uninstall_key, L"DisplayVersion"), PLUGIN_VERSION_WIDE);
}

INSTANTIATE_TEST_SUITE_P(
    recorded, where_it_installs,
    testing::Values(location_case{"machine_wide_Winamp_by_its_uninstall_entry",
                                  [] { return register_for_machine(make_winamp(elsewhere)); }, L"/S"},
                    location_case{"Winamp_of_the_user_by_its_folder_entry",
                                  [] {
                                      register_for_machine(make_winamp(elsewhere));
                                      return register_for_user(
                                          make_winamp(L"C:\\Apps\\\u041f\u0451\u0442\u0440\\Winamp"));
                                  },
                                  L"/S"},
                    location_case{"nothing_recorded_the_usual_Program_Files_folder",
                                  [] { return make_winamp(program_files() + L"\\Winamp"); }, L"/S"},
                    location_case{"a_folder_chosen_by_the_user_wins",
                                  [] {
                                      register_for_machine(make_winamp(elsewhere));
                                      return make_winamp(L"C:\\Other Winamp");
                                  },
                                  L"/S /D=C:\\Other Winamp"}),
    [](const auto &info) { return std::string(info.param.what); });

const std::wstring not_winamp = L"C:\\Not Winamp";

std::wstring make_folder_without_winamp()
{
    remove_tree(not_winamp);
    SHCreateDirectoryExW(nullptr, not_winamp.c_str(), nullptr);
    made_folders.push_back(not_winamp);
    return not_winamp;
}

TEST_F(installer, silently_without_a_winamp_folder_it_stops_with_2_and_installs_nothing)
{
    const std::wstring folder = make_folder_without_winamp();
    EXPECT_EQ(run_setup(L"/S /D=" + folder), 2u);
    EXPECT_FALSE(exists(folder + L"\\Plugins"));
    EXPECT_EQ(run_setup(L"/S"), 2u) << "no Winamp recorded, none in Program Files";
    EXPECT_FALSE(exists(program_files() + L"\\Winamp"));
    EXPECT_EQ(registry_text(HKEY_LOCAL_MACHINE, uninstall_key, L"UninstallString"), L"<missing>");
}

TEST_F(installer, each_winamp_folder_has_its_own_entry_and_uninstaller)
{
    const std::wstring first = make_winamp(elsewhere), second = make_winamp(L"C:\\Other Winamp");
    ASSERT_EQ(run_setup(L"/S /D=" + first), 0u);
    ASSERT_EQ(run_setup(L"/S /D=" + second), 0u);
    ASSERT_EQ(run_setup(L"/S /D=" + first), 0u) << "again: the same entry";
    EXPECT_EQ(registry_text(HKEY_LOCAL_MACHINE, uninstall_key, L"DisplayName"), entry_name + first);
    EXPECT_EQ(registry_text(HKEY_LOCAL_MACHINE, second_uninstall_key, L"DisplayName"), entry_name + second);
    EXPECT_EQ(registry_text(HKEY_LOCAL_MACHINE, second_uninstall_key, L"UninstallString"),
              L"\"" + second + L"\\Plugins\\DiscordCorvane-uninstall.exe\"");

    run_quiet_uninstall(second_uninstall_key);
    EXPECT_FALSE(exists(second + L"\\Plugins\\gen_DiscordCorvane.dll"));
    EXPECT_EQ(registry_text(HKEY_LOCAL_MACHINE, second_uninstall_key, L"DisplayName"), L"<missing>");
    EXPECT_TRUE(exists(first + L"\\Plugins\\gen_DiscordCorvane.dll"));
    EXPECT_EQ(registry_text(HKEY_LOCAL_MACHINE, uninstall_key, L"DisplayName"), entry_name + first);
}

TEST_F(installer, the_installed_plugin_runs_from_winamp_and_the_uninstaller_keeps_the_settings)
{
    const std::wstring winamp = make_winamp(elsewhere);
    register_for_machine(winamp);
    ASSERT_EQ(run_setup(L"/S"), 0u);
    const std::wstring plugin = winamp + L"\\Plugins\\gen_DiscordCorvane.dll";
    const std::wstring settings = winamp + L"\\Plugins\\tolvek\\config.ini";
    // The user's own settings, from an earlier run or written by hand.
    EXPECT_EQ(SHCreateDirectoryExW(nullptr, (winamp + L"\\Plugins\\tolvek").c_str(), nullptr), ERROR_SUCCESS);
    const std::string users_settings = "[Display configuration]\nHide while paused=1\n";
    write_file(settings, users_settings);

    fake_discord discord;
    {
        // A Winamp 5.9 that keeps its settings in its own folder.
        sim_host host;
        host.ini_directory_w = winamp;
        ASSERT_TRUE(host.load_plugin(plugin.c_str())) << "LoadLibrary error " << GetLastError();
        wchar_t loaded_from[MAX_PATH] = {};
        GetModuleFileNameW(host.descriptor()->hDllInstance, loaded_from, MAX_PATH);
        EXPECT_EQ(_wcsicmp(loaded_from, plugin.c_str()), 0) << "loaded from the Winamp folder";
        ASSERT_EQ(host.init_plugin(), 0);
        sim_track blue;
        blue.tags = {{L"title", L"Blue"}, {L"artist", L"The Band"}, {L"album", L"First Album"}};
        host.library[L"C:\\Music\\blue.mp3"] = blue;
        host.play(L"C:\\Music\\blue.mp3");
        const DWORD begin = GetTickCount();
        while ((discord.updates().empty() || discord.updates().back().activity.state != "Blue (Playing)") &&
               GetTickCount() - begin < 10000) {
            host.pump(20);
        }
        ASSERT_FALSE(discord.updates().empty());
        EXPECT_EQ(discord.updates().back().activity.state, "Blue (Playing)");

        run_quiet_uninstall();
        EXPECT_TRUE(exists(plugin)) << "Winamp runs and holds the plug-in";
        EXPECT_NE(registry_text(HKEY_LOCAL_MACHINE, uninstall_key, L"UninstallString"), L"<missing>");
        host.quit_plugin();
    }
    const std::string saved = read_file(settings);
    EXPECT_EQ(saved, users_settings) << "nothing changed: the file is left as it is";

    run_quiet_uninstall();
    EXPECT_FALSE(exists(plugin));
    EXPECT_FALSE(exists(winamp + L"\\Plugins\\DiscordCorvane-uninstall.exe"));
    EXPECT_FALSE(exists(winamp + L"\\Plugins\\DiscordCorvane-LICENSE.txt"));
    EXPECT_EQ(registry_text(HKEY_LOCAL_MACHINE, uninstall_key, L"UninstallString"), L"<missing>");
    EXPECT_EQ(read_file(settings), saved) << "the user's settings stay";
    EXPECT_EQ(read_file(winamp + L"\\Plugins\\gen_other.dll"), other_plugin)
        << "not the installer's to remove";
}

// The installer's windows as a user meets them: presses the wizard's main
// button (Install, Next, Finish) whenever it is enabled and answers every
// message box with OK; collects the message boxes' texts, and while the main
// button is greyed on the folder page, that page's text and the line it
// shows beside the button.
struct wizard_driver {
    DWORD process_id;
    std::vector<std::wstring> messages;
    int greyed_rounds = 0;
    std::wstring page_text, greyed_because;

    static std::wstring text_of(HWND control)
    {
        wchar_t text[2048] = {};
        DWORD_PTR length = 0;
        SendMessageTimeoutW(control, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000,
                            &length);
        return text;
    }

    static BOOL CALLBACK visit(HWND window, LPARAM self)
    {
        auto &driver = *reinterpret_cast<wizard_driver *>(self);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != driver.process_id || !IsWindowVisible(window)) {
            return TRUE;
        }
        // A message box shows its text in a static control with id 0xFFFF.
        if (HWND text = GetDlgItem(window, 0xFFFF); text != nullptr) {
            const std::wstring message = text_of(text);
            if (driver.messages.empty() || driver.messages.back() != message) {
                driver.messages.push_back(message);
            }
            PostMessageW(window, WM_COMMAND, IDOK, 0);
        } else if (HWND button = GetDlgItem(window, IDOK); button != nullptr) {
            if (IsWindowEnabled(button)) {
                PostMessageW(button, BM_CLICK, 0, 0);
            } else if (HWND page = FindWindowExW(window, nullptr, L"#32770", nullptr);
                       page != nullptr &&
                       GetDlgItem(page, 1019) != nullptr) { // the folder page's folder field
                ++driver.greyed_rounds;
                driver.page_text = text_of(GetDlgItem(page, 1006));
                driver.greyed_because = text_of(GetDlgItem(page, 1024)); // the free space line
            }
        }
        return TRUE;
    }
};

// Runs the installer with `arguments` and its wizard, driven as above, until
// it ends or its main button stays greyed (for half a second); returns what
// the driver saw.
wizard_driver run_setup_as_a_user(const std::wstring &arguments = L"")
{
    GetDesktopWindow();
    std::wstring command_line = L"\"" + build_folder() + L"\\DiscordCorvane-setup.exe\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        ADD_FAILURE() << "cannot start the installer: error " << GetLastError();
        return {};
    }
    wizard_driver driver{};
    driver.process_id = process.dwProcessId;
    // A minute at most; every round looks at the installer's windows again.
    for (int round = 0; round < 600 && driver.greyed_rounds < 5 &&
                        WaitForSingleObject(process.hProcess, 100) == WAIT_TIMEOUT;
         ++round) {
        EnumWindows(&wizard_driver::visit, reinterpret_cast<LPARAM>(&driver));
    }
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
        if (driver.greyed_rounds < 5) {
            ADD_FAILURE() << "the installer did not finish";
        }
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 10000);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return driver;
}

TEST_F(installer, with_the_wizard_it_installs_into_the_winamp_found_and_asks_nothing_more)
{
    const std::wstring winamp = register_for_machine(make_winamp(elsewhere));
    const wizard_driver seen = run_setup_as_a_user();
    EXPECT_EQ(read_file(winamp + L"\\Plugins\\gen_DiscordCorvane.dll"), shipped_plugin());
    EXPECT_TRUE(seen.messages.empty()) << "said: " << testing::PrintToString(seen.messages);
}

struct folder_case {
    const char *what;
    const wchar_t *arguments;
    const wchar_t *page_text_start;
    const wchar_t *greyed_because;
};

class folder_page : public installer, public testing::WithParamInterface<folder_case> {};

TEST_P(folder_page, says_why_the_install_button_is_greyed)
{
    make_folder_without_winamp();
    const wizard_driver seen = run_setup_as_a_user(GetParam().arguments);
    EXPECT_EQ(seen.page_text.rfind(GetParam().page_text_start, 0), 0u)
        << testing::PrintToString(seen.page_text);
    EXPECT_EQ(seen.greyed_because, GetParam().greyed_because);
    EXPECT_FALSE(exists(not_winamp + L"\\Plugins"));
    EXPECT_FALSE(exists(program_files() + L"\\Winamp"));
}

INSTANTIATE_TEST_SUITE_P(
    installing_with_the_wizard, folder_page,
    testing::Values(
        // The folder field stays empty rather than offering a Program Files folder that does not exist.
        folder_case{"no_Winamp_recorded_anywhere", L"", L"Winamp was not found; choose its folder", L""},
        folder_case{"a_folder_without_winamp_exe", L"/D=C:\\Not Winamp", L"Setup puts Discord Corvane into",
                    L"No winamp.exe in this folder."}),
    [](const auto &info) { return std::string(info.param.what); });

} // namespace
