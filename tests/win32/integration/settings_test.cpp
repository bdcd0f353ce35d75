// The settings file through the shipped plug-in: where it lives for each host
// version, what a load does to the presence, the bytes a save writes, that a
// failed save never harms the previous file, and that choices the host's
// folder refuses are kept in the user's own folder and read from there first.
#include "files.h"
#include "rig.h"
#include "settings_texts.h"

namespace {

const std::string default_file = default_settings_file;

const char user_file[] = "[Display configuration]\r\n"
                         "Display title=0\r\n"
                         "Display artist name=1\r\n"
                         "Display album name=0\r\n"
                         "Display album art=0\r\n"
                         "Display song information=1\r\n"
                         "Show elapsed time=0\r\n";

class settings_rig : public plugin_rig {
  protected:
    void SetUp() override
    {
        plugin_rig::SetUp();
        root = fresh_test_folder();
        plugins = root + L"\\Plugins";
        folder = plugins + L"\\tolvek";
        file = folder + L"\\config.ini";
        CreateDirectoryW(plugins.c_str(), nullptr);
        DeleteFileW(user_settings_file().c_str());
    }

    void TearDown() override
    {
        plugin_rig::TearDown();
        remove_tree(root);
        DeleteFileW(user_settings_file().c_str());
    }

    // Loads the plug-in into a Winamp 5.9 whose settings directory is `root`,
    // so that its plug-in folder for settings is `plugins`.
    void load_here()
    {
        load();
        host->ini_directory_w = root;
    }

    void start_here()
    {
        load_here();
        ASSERT_EQ(host->init_plugin(), 0);
        started = true;
    }

    void write_settings(const std::string &content)
    {
        CreateDirectoryW(folder.c_str(), nullptr);
        write_file(file, content);
    }

    std::wstring root, plugins, folder, file;
};

TEST_F(settings_rig, first_run_keeps_the_defaults_and_quit_writes_the_157_byte_file)
{
    start_here();
    EXPECT_FALSE(exists(folder)) << "loading creates nothing";
    quit();
    EXPECT_EQ(read_file(file), default_file);
    EXPECT_FALSE(exists(folder + L"\\config.ini.new"));
}

TEST_F(settings_rig, loaded_settings_shape_the_presence_and_are_written_back_unchanged)
{
    write_settings(user_file);
    load_here();
    start_with_blue_playing();
    const discord_activity activity = last_activity();
    EXPECT_EQ(activity.state, "(Playing)");
    EXPECT_EQ(activity.details, "The Band");
    EXPECT_EQ(activity.large_image, "");
    EXPECT_EQ(activity.start, 0);
    quit();
    EXPECT_EQ(read_file(file), user_file);
}

struct version_case {
    unsigned version;
    LPARAM query;                 // the one directory query sent; 0: none, the shell is asked
    const wchar_t *expected_base; // under the test folder; NULL: the application data folder
};

class host_versions : public settings_rig, public testing::WithParamInterface<version_case> {};

TEST_P(host_versions, choose_how_the_plugin_directory_is_asked_for)
{
    load();
    host->version = GetParam().version;
    host->plugin_directory_w = root + L"\\wide";
    host->plugin_directory_a = std::string(root.begin(), root.end()) + "\\ansi";
    host->ini_directory_w = root + L"\\ini-wide";
    host->ini_directory_a = std::string(root.begin(), root.end()) + "\\ini";
    ASSERT_EQ(host->init_plugin(), 0);
    started = true;
    quit();
    const std::wstring base = GetParam().expected_base != nullptr ? root + GetParam().expected_base
                                                                  : application_data() + L"\\Winamp\\Plugins";
    const std::wstring expected = base + L"\\tolvek\\config.ini";
    EXPECT_EQ(read_file(expected), default_file);
    for (LPARAM query :
         {IPC_GETPLUGINDIRECTORYW, IPC_GETPLUGINDIRECTORY, IPC_GETINIDIRECTORYW, IPC_GETINIDIRECTORY}) {
        EXPECT_EQ(host->queries_received(query) > 0, query == GetParam().query) << "query " << query;
    }
    if (GetParam().expected_base == nullptr) {
        remove_tree(application_data() + L"\\Winamp");
    }
}

// Each range at its edges, and the versions real players report: Winamp 5.yx
// reports 0x50yx (5.9.2, 5.58, 5.57), Winamp 2.yx 0x20yx (2.91).
INSTANTIATE_TEST_SUITE_P(ranges, host_versions,
                         testing::Values(version_case{0x5580, IPC_GETPLUGINDIRECTORYW, L"\\wide"},
                                         version_case{0x557F, IPC_GETPLUGINDIRECTORY, L"\\ansi"},
                                         version_case{0x5110, IPC_GETPLUGINDIRECTORY, L"\\ansi"},
                                         version_case{0x510F, IPC_GETINIDIRECTORYW, L"\\ini-wide\\Plugins"},
                                         version_case{0x5092, IPC_GETINIDIRECTORYW, L"\\ini-wide\\Plugins"},
                                         version_case{0x5058, IPC_GETINIDIRECTORYW, L"\\ini-wide\\Plugins"},
                                         version_case{0x5057, IPC_GETINIDIRECTORY, L"\\ini\\Plugins"},
                                         version_case{0x2900, IPC_GETINIDIRECTORY, L"\\ini\\Plugins"},
                                         version_case{0x28FF, 0, nullptr}, version_case{0x2091, 0, nullptr},
                                         version_case{0, 0, nullptr}),
                         [](const auto &info) {
                             char name[16];
                             snprintf(name, sizeof name, "version_%04X", info.param.version);
                             return std::string(name);
                         });

TEST_F(settings_rig, a_trailing_backslash_and_missing_levels_are_handled)
{
    load();
    host->ini_directory_w = root + L"\\deep\\er\\";
    ASSERT_EQ(host->init_plugin(), 0);
    started = true;
    quit();
    EXPECT_EQ(read_file(root + L"\\deep\\er\\Plugins\\tolvek\\config.ini"), default_file);
}

TEST_F(settings_rig, a_settings_directory_outside_the_ansi_code_page_is_asked_for_in_wide_characters)
{
    // A Cyrillic user name on a Western system: the 8-bit answer of a real
    // host has lost the name and cannot even be created.
    const std::wstring profile = root + L"\\\u041f\u0451\u0442\u0440\\Winamp";
    load();
    host->ini_directory_w = profile;
    host->ini_directory_a = std::string(root.begin(), root.end()) + "\\????\\Winamp";
    ASSERT_EQ(host->init_plugin(), 0);
    started = true;
    quit();
    EXPECT_EQ(read_file(profile + L"\\Plugins\\tolvek\\config.ini"), default_file);
    EXPECT_EQ(host->queries_received(IPC_GETINIDIRECTORY), 0);
}

TEST_F(settings_rig, an_ansi_directory_outside_ascii_names_the_same_directory)
{
    if (GetACP() != 1252) {
        GTEST_SKIP() << "needs the Western ANSI code page, have " << GetACP();
    }
    load();
    host->version = 0x5110;
    host->plugin_directory_a = std::string(root.begin(), root.end()) + "\\Pl\xE9";
    ASSERT_EQ(host->init_plugin(), 0);
    started = true;
    quit();
    EXPECT_EQ(read_file(root + L"\\Pl\u00e9\\tolvek\\config.ini"), default_file);
}

TEST_F(settings_rig, an_empty_directory_answer_saves_nothing_and_harms_nothing)
{
    load();
    host->ini_directory_w.clear();
    ASSERT_EQ(host->init_plugin(), 0);
    started = true;
    await_published(1);
    quit();
    EXPECT_TRUE(pump_until([&] { return published() == 2; }, 2000));
    EXPECT_TRUE(discord->updates()[1].clear);
}

TEST_F(settings_rig, a_file_named_like_the_folder_stays_and_the_choices_go_to_the_users_own_folder)
{
    write_file(folder, "not a folder");
    start_here();
    quit();
    EXPECT_EQ(read_file(folder), "not a folder");
    EXPECT_EQ(read_file(user_settings_file()), default_file);
}

// Each way a save can fail leaves the previous file byte for byte as it was.
TEST_F(settings_rig, a_failed_save_leaves_the_previous_file_intact)
{
    const struct {
        const char *what;
        void (*block)(const std::wstring &folder, HANDLE &held);
        void (*unblock)(const std::wstring &folder, HANDLE &held);
    } failures[] = {
        {"file held open without sharing",
         [](const std::wstring &folder, HANDLE &held) {
             held = CreateFileW((folder + L"\\config.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                0, nullptr);
         },
         [](const std::wstring &, HANDLE &held) { CloseHandle(held); }},
        {"file read-only",
         [](const std::wstring &folder, HANDLE &) {
             SetFileAttributesW((folder + L"\\config.ini").c_str(), FILE_ATTRIBUTE_READONLY);
         },
         [](const std::wstring &folder, HANDLE &) {
             SetFileAttributesW((folder + L"\\config.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
         }},
        {"temporary file cannot be created",
         [](const std::wstring &folder, HANDLE &) {
             CreateDirectoryW((folder + L"\\config.ini.new").c_str(), nullptr);
         },
         [](const std::wstring &folder, HANDLE &) {
             RemoveDirectoryW((folder + L"\\config.ini.new").c_str());
         }},
    };
    for (const auto &failure : failures) {
        SCOPED_TRACE(failure.what);
        write_settings(user_file);
        new_discord();
        start_here();
        // What is on disk now differs from what a save would write.
        const std::string previous = std::string("; the user's own file\r\n") + user_file;
        write_file(file, previous);
        HANDLE held = INVALID_HANDLE_VALUE;
        failure.block(folder, held);
        quit();
        failure.unblock(folder, held);
        EXPECT_EQ(read_file(file), previous);
        EXPECT_FALSE(exists(folder + L"\\config.ini.new") && !is_directory(folder + L"\\config.ini.new"));
        EXPECT_EQ(read_file(user_settings_file()), user_file)
            << "the choices are kept in the user's own folder";
        DeleteFileW(user_settings_file().c_str());
        host.reset();
    }
}

// A Winamp folder that refuses writes, as one under Program Files does to a
// user: the host's answer leads into it, for a host whose version picks the
// plug-in directory and for a Winamp 5.9 that keeps its settings there.
struct protected_case {
    const char *what;
    unsigned version;
    void (*point_into)(sim_host &host, const std::wstring &winamp);
};

class write_protected : public settings_rig, public testing::WithParamInterface<protected_case> {
  protected:
    void SetUp() override
    {
        settings_rig::SetUp();
        const std::wstring readable = test_network_folder(L"CORVANE_WRITE_PROTECTED");
        const std::wstring source = test_network_folder(L"CORVANE_WRITE_PROTECTED_SOURCE");
        if (readable.empty() || source.empty()) {
            GTEST_SKIP() << "no write-protected folder: run under tests/private-net-run";
        }
        winamp = readable + L"\\Winamp";
        winamp_source = source + L"\\Winamp";
        remove_tree(winamp_source);
        ASSERT_EQ(SHCreateDirectoryExW(nullptr, (winamp_source + L"\\Plugins\\tolvek").c_str(), nullptr),
                  ERROR_SUCCESS);
    }

    void TearDown() override
    {
        settings_rig::TearDown();
        remove_tree(winamp_source);
    }

    // Puts `content` in the protected folder's settings file, as an
    // administrator could.
    void put_protected_file(const std::string &content)
    {
        write_file(winamp_source + L"\\Plugins\\tolvek\\config.ini", content);
    }

    std::string protected_file() const { return read_file(winamp + L"\\Plugins\\tolvek\\config.ini"); }

    // One life of the plug-in with "Blue" playing; returns its first activity.
    discord_activity run_once()
    {
        new_discord();
        load();
        host->version = GetParam().version;
        GetParam().point_into(*host, winamp);
        start_with_blue_playing();
        const discord_activity first = last_activity();
        quit();
        host.reset();
        return first;
    }

    std::wstring winamp, winamp_source;
};

TEST_P(write_protected, the_choices_go_to_the_users_own_folder_and_are_read_from_there_first)
{
    const std::string administrators = std::string("; set up by the administrator\r\n") + user_file;
    put_protected_file(administrators);

    // First life: the protected file is read; the save cannot go there.
    EXPECT_EQ(run_once().details, "The Band") << "the protected file was read";
    EXPECT_EQ(protected_file(), administrators);
    EXPECT_EQ(read_file(user_settings_file()), user_file);

    // Later lives read the user's own file, whatever the protected one says.
    put_protected_file(default_file);
    const discord_activity later = run_once();
    EXPECT_EQ(later.details, "The Band");
    EXPECT_EQ(later.start, 0);
    EXPECT_EQ(read_file(user_settings_file()), user_file);
    EXPECT_EQ(protected_file(), default_file);
}

INSTANTIATE_TEST_SUITE_P(hosts, write_protected,
                         testing::Values(protected_case{"plugin_directory_of_a_host_from_0x5580", 0x5580,
                                                        [](sim_host &host, const std::wstring &winamp) {
                                                            host.plugin_directory_w = winamp + L"\\Plugins";
                                                        }},
                                         protected_case{"settings_directory_of_Winamp_5_9_2", 0x5092,
                                                        [](sim_host &host, const std::wstring &winamp) {
                                                            host.ini_directory_w = winamp;
                                                        }}),
                         [](const auto &info) { return std::string(info.param.what); });

TEST_F(settings_rig, once_the_hosts_folder_takes_the_file_again_the_users_copy_is_moved_back_there)
{
    SHCreateDirectoryExW(nullptr, user_settings_folder().c_str(), nullptr);
    write_file(user_settings_file(), user_file);
    write_settings(default_file);
    load_here();
    start_with_blue_playing();
    EXPECT_EQ(last_activity().details, "The Band") << "the user's copy is read first";
    quit();
    EXPECT_EQ(read_file(file), user_file);
    EXPECT_FALSE(exists(user_settings_file()));
}

} // namespace
