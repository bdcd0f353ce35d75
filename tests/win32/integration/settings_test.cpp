// The settings file through the shipped plug-in: where it lives for each host
// version, what a load does to the presence, the bytes a save writes, and
// that a failed save never harms the previous file.
#include "files.h"
#include "rig.h"
#include "settings_texts.h"

#include <shlobj.h>

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
    }

    void TearDown() override
    {
        plugin_rig::TearDown();
        remove_tree(root);
    }

    // Loads the plug-in with the host reporting `plugins` as its directory.
    void load_here()
    {
        load();
        host->plugin_directory_w = plugins;
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
    host->library[L"C:\\a.mp3"] = tagged_track(L"Blue", L"The Band", L"First Album");
    host->playing_file = L"C:\\a.mp3";
    host->playback_state = 1;
    ASSERT_EQ(host->init_plugin(), 0);
    started = true;
    const DiscordActivity activity = last_activity();
    EXPECT_STREQ(activity.state, "(Playing)");
    EXPECT_STREQ(activity.details, "The Band");
    EXPECT_STREQ(activity.assets.large_image, "");
    EXPECT_EQ(activity.timestamps.start, 0);
    quit();
    EXPECT_EQ(read_file(file), user_file);
}

std::wstring application_data()
{
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
    return folder;
}

struct version_case {
    unsigned version;
    const wchar_t *expected_base; // under the test folder; NULL: the application data folder
};

class host_versions : public settings_rig, public testing::WithParamInterface<version_case> {};

TEST_P(host_versions, choose_how_the_plugin_directory_is_asked_for)
{
    load();
    host->version = GetParam().version;
    host->plugin_directory_w = root + L"\\wide";
    host->plugin_directory_a = std::string(root.begin(), root.end()) + "\\ansi";
    host->ini_directory_a = std::string(root.begin(), root.end()) + "\\ini";
    ASSERT_EQ(host->init_plugin(), 0);
    started = true;
    quit();
    const std::wstring base = GetParam().expected_base != nullptr ? root + GetParam().expected_base
                                                                  : application_data() + L"\\Winamp\\Plugins";
    const std::wstring expected = base + L"\\tolvek\\config.ini";
    EXPECT_EQ(read_file(expected), default_file);
    if (GetParam().expected_base == nullptr) {
        remove_tree(application_data() + L"\\Winamp");
    }
}

INSTANTIATE_TEST_SUITE_P(boundaries, host_versions,
                         testing::Values(version_case{0x5580, L"\\wide"}, version_case{0x557F, L"\\ansi"},
                                         version_case{0x5110, L"\\ansi"},
                                         version_case{0x510F, L"\\ini\\Plugins"},
                                         version_case{0x2900, L"\\ini\\Plugins"},
                                         version_case{0x28FF, nullptr}, version_case{0, nullptr}),
                         [](const auto &info) { return "version_" + std::to_string(info.param.version); });

TEST_F(settings_rig, a_trailing_backslash_and_missing_levels_are_handled)
{
    load();
    host->plugin_directory_w = root + L"\\deep\\er\\Plugins\\";
    ASSERT_EQ(host->init_plugin(), 0);
    started = true;
    quit();
    EXPECT_EQ(read_file(root + L"\\deep\\er\\Plugins\\tolvek\\config.ini"), default_file);
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
    host->plugin_directory_w.clear();
    ASSERT_EQ(host->init_plugin(), 0);
    started = true;
    quit();
    EXPECT_EQ(published(), 2);
}

TEST_F(settings_rig, a_file_named_like_the_folder_stays_and_nothing_is_saved)
{
    write_file(folder, "not a folder");
    start_here();
    quit();
    EXPECT_EQ(read_file(folder), "not a folder");
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
        stub_sdk_reset();
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
        host.reset();
    }
}

} // namespace
