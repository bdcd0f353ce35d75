// The settings file through the shipped plug-in: where it lives for each host
// version, what a load does to the presence, the bytes a save writes, that a
// failed save never harms the previous file, that a file another program
// holds is never replaced by defaults nor shadowed by a fallback copy, and
// that choices the host's folder refuses are kept in a fallback folder of the
// install's own, read from there first unless a newer file came to the host's
// folder, and never mixed up with another install's file.
#include "files.h"
#include "rig.h"
#include "settings_texts.h"

namespace {

const std::string default_file = default_settings_file;

// A user's choices as an older version wrote them, and as this one writes them.
const char user_file[] = "[Display configuration]\r\n"
                         "Display title=0\r\n"
                         "Display artist name=1\r\n"
                         "Display album name=0\r\n"
                         "Display album art=0\r\n"
                         "Display song information=1\r\n"
                         "Show elapsed time=0\r\n";
const std::string user_file_now = std::string(user_file) + newer_settings_lines_at_defaults;

// Dates the file `path` back by an hour: a file written before the fallback copy.
void date_back(const std::wstring &path)
{
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER time;
    time.LowPart = now.dwLowDateTime;
    time.HighPart = now.dwHighDateTime;
    time.QuadPart -= 3600ULL * 10000000ULL;
    const FILETIME earlier{time.LowPart, time.HighPart};
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &earlier));
    CloseHandle(file);
}

constexpr int IDC_SHOW_TITLE = 1000, IDC_HIDE_WHILE_PAUSED = 1009;

// The box the settings dialog gets clicked in before OK.
int box_to_click;

// Whether OK showed the message that the change could not be saved.
bool save_message_seen;

void CALLBACK close_save_message(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND box = FindWindowW(L"#32770", L"Discord Corvane");
    if (box != nullptr) {
        KillTimer(nullptr, timer);
        save_message_seen = true;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
}

void CALLBACK click_box_and_ok(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = FindWindowW(L"#32770", settings_dialog_caption);
    if (dialog == nullptr) {
        return;
    }
    KillTimer(nullptr, timer);
    SendMessageW(GetDlgItem(dialog, box_to_click), BM_CLICK, 0, 0);
    const UINT_PTR closer = SetTimer(nullptr, 0, 20, &close_save_message);
    SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    KillTimer(nullptr, closer);
}

// The user turns a box of the settings dialog over and presses OK.
void change_in_dialog(sim_host &host, int box)
{
    box_to_click = box;
    save_message_seen = false;
    SetTimer(nullptr, 0, 20, &click_box_and_ok);
    host.config_plugin();
}

// `text` with its line `from` replaced by `to`.
std::string with_line(std::string text, const std::string &from, const std::string &to)
{
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// The file a first change creates: the defaults but the title turned off.
const std::string title_off_file = with_line(default_settings_file, "Display title=1", "Display title=0");

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
        remove_user_settings();
    }

    void TearDown() override
    {
        plugin_rig::TearDown();
        remove_tree(root);
        remove_user_settings();
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

TEST_F(settings_rig, first_run_keeps_the_defaults_and_quit_creates_no_file)
{
    start_here();
    EXPECT_FALSE(exists(folder)) << "loading creates nothing";
    quit();
    EXPECT_FALSE(exists(folder)) << "nothing was changed, so nothing is written";
    EXPECT_EQ(fallback_settings(), "<none>");
}

TEST_F(settings_rig, a_first_change_writes_the_whole_file)
{
    start_here();
    change_in_dialog(*host, IDC_SHOW_TITLE);
    EXPECT_EQ(read_file(file), title_off_file);
    quit();
    EXPECT_EQ(read_file(file), title_off_file);
    EXPECT_FALSE(exists(folder + L"\\config.ini.new"));
}

TEST_F(settings_rig, loaded_settings_shape_the_presence_and_quit_leaves_the_file)
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
    EXPECT_EQ(read_file(file), user_file) << "quit leaves a file without a pending change as it is";
}

// What a change in the dialog makes of a file's settings: only the changed
// line differs, and quit leaves the file as it is then.
struct round_trip_case {
    const char *what;
    std::string file;
    std::string written;
};

class round_trip : public settings_rig, public testing::WithParamInterface<round_trip_case> {};

TEST_P(round_trip, a_change_rewrites_only_its_line)
{
    write_settings(GetParam().file);
    start_here();
    change_in_dialog(*host, IDC_HIDE_WHILE_PAUSED);
    EXPECT_EQ(read_file(file), GetParam().written);
    quit();
    EXPECT_EQ(read_file(file), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
    files, round_trip,
    testing::Values(
        round_trip_case{"older_version_without_the_newer_settings", user_file,
                        user_file + std::string("Hide while paused=1\r\n")},
        round_trip_case{"newer_settings",
                        user_file + std::string("Member list shows=2\r\nHide while paused=1\r\n"),
                        user_file + std::string("Member list shows=2\r\nHide while paused=0\r\n")},
        round_trip_case{"newer_settings_out_of_range",
                        user_file + std::string("Member list shows=3\r\nHide while paused=2\r\n"),
                        user_file + std::string("Member list shows=3\r\nHide while paused=1\r\n")},
        round_trip_case{
            "hand_edited_with_line_feeds_comments_and_spaces",
            "# mine\n[Display configuration]\nMember list shows = 1 ; the title\n\n[Other]\nx=1\n",
            "# mine\n[Display configuration]\nMember list shows = 1 ; the title\nHide while "
            "paused=1\n\n[Other]\nx=1\n"},
        round_trip_case{"hand_edited_line_in_place",
                        "[Display configuration]\n; pause\nHide while paused : 0\nDisplay title=1\n",
                        "[Display configuration]\n; pause\nHide while paused=1\nDisplay title=1\n"}),
    [](const auto &info) { return std::string(info.param.what); });

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
    change_in_dialog(*host, IDC_SHOW_TITLE);
    quit();
    const std::wstring base = GetParam().expected_base != nullptr ? root + GetParam().expected_base
                                                                  : application_data() + L"\\Winamp\\Plugins";
    const std::wstring expected = base + L"\\tolvek\\config.ini";
    EXPECT_EQ(read_file(expected), title_off_file);
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
    change_in_dialog(*host, IDC_SHOW_TITLE);
    quit();
    EXPECT_EQ(read_file(root + L"\\deep\\er\\Plugins\\tolvek\\config.ini"), title_off_file);
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
    change_in_dialog(*host, IDC_SHOW_TITLE);
    quit();
    EXPECT_EQ(read_file(profile + L"\\Plugins\\tolvek\\config.ini"), title_off_file);
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
    change_in_dialog(*host, IDC_SHOW_TITLE);
    quit();
    EXPECT_EQ(read_file(root + L"\\Pl\u00e9\\tolvek\\config.ini"), title_off_file);
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

TEST_F(settings_rig, a_file_named_like_the_folder_stays_and_the_choices_go_to_the_installs_fallback_folder)
{
    write_file(folder, "not a folder");
    start_here();
    change_in_dialog(*host, IDC_SHOW_TITLE);
    quit();
    EXPECT_EQ(read_file(folder), "not a folder");
    EXPECT_EQ(fallback_settings(), title_off_file);
    EXPECT_FALSE(exists(user_settings_file())) << "the user's own config.ini is no install's fallback";
}

// Each way a save can fail leaves the previous file byte for byte as it was.
TEST_F(settings_rig, a_failed_save_leaves_the_previous_file_intact)
{
    const struct {
        const char *what;
        // The folder refuses the file, rather than another program holding it.
        bool folder_refuses;
        void (*block)(const std::wstring &folder, HANDLE &held);
        void (*unblock)(const std::wstring &folder, HANDLE &held);
    } failures[] = {
        {"file held open without sharing", false,
         [](const std::wstring &folder, HANDLE &held) {
             held = CreateFileW((folder + L"\\config.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                0, nullptr);
         },
         [](const std::wstring &, HANDLE &held) { CloseHandle(held); }},
        {"file read-only", true,
         [](const std::wstring &folder, HANDLE &) {
             SetFileAttributesW((folder + L"\\config.ini").c_str(), FILE_ATTRIBUTE_READONLY);
         },
         [](const std::wstring &folder, HANDLE &) {
             SetFileAttributesW((folder + L"\\config.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
         }},
        {"temporary file cannot be created", true,
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
        change_in_dialog(*host, IDC_HIDE_WHILE_PAUSED);
        EXPECT_EQ(save_message_seen, !failure.folder_refuses);
        quit();
        failure.unblock(folder, held);
        EXPECT_EQ(read_file(file), previous);
        EXPECT_FALSE(exists(folder + L"\\config.ini.new") && !is_directory(folder + L"\\config.ini.new"));
        if (failure.folder_refuses) {
            EXPECT_EQ(fallback_settings(), previous + "Hide while paused=1\r\n")
                << "the choices are kept in the fallback folder";
        } else {
            EXPECT_EQ(fallback_settings(), "<none>") << "a copy would shadow what the holder saves";
        }
        remove_user_settings();
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

    // One life of the plug-in with "Blue" playing, in which the user turns
    // the box `change` over (0: none); returns its first activity.
    discord_activity run_once(int change = 0)
    {
        new_discord();
        load();
        host->version = GetParam().version;
        GetParam().point_into(*host, winamp);
        start_with_blue_playing();
        const discord_activity first = last_activity();
        if (change != 0) {
            change_in_dialog(*host, change);
        }
        quit();
        host.reset();
        return first;
    }

    std::wstring winamp, winamp_source;
};

TEST_P(write_protected, the_choices_go_to_the_fallback_folder_and_are_read_from_there_first)
{
    const std::string administrators = std::string("; set up by the administrator\r\n") + user_file;
    put_protected_file(administrators);

    // First life: the protected file is read; the change cannot go there.
    EXPECT_EQ(run_once(IDC_HIDE_WHILE_PAUSED).details, "The Band") << "the protected file was read";
    EXPECT_EQ(protected_file(), administrators);
    const std::string kept = administrators + "Hide while paused=1\r\n";
    EXPECT_EQ(fallback_settings(), kept);

    // Later lives read the fallback copy, whatever the protected one says.
    put_protected_file(default_file);
    const discord_activity later = run_once();
    EXPECT_EQ(later.details, "The Band");
    EXPECT_EQ(later.start, 0);
    EXPECT_EQ(fallback_settings(), kept);
    EXPECT_EQ(protected_file(), default_file);
    EXPECT_FALSE(exists(user_settings_file()));
}

// The previous version kept the fallback copy as the user's own config.ini.
// While the install's folder refuses writes and no Winamp keeps its settings
// in the user's profile, that copy can only be its own: it is read, kept as
// it is, and the choices move to the fallback folder.
TEST_P(write_protected, the_previous_versions_copy_in_the_users_own_folder_is_still_read)
{
    put_protected_file(default_file);
    SHCreateDirectoryExW(nullptr, user_settings_folder().c_str(), nullptr);
    write_file(user_settings_file(), user_file);
    EXPECT_EQ(run_once(IDC_HIDE_WHILE_PAUSED).details, "The Band");
    EXPECT_EQ(read_file(user_settings_file()), user_file);
    EXPECT_EQ(fallback_settings(), user_file + std::string("Hide while paused=1\r\n"));
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

// The settings of a Winamp that keeps them in the user's profile: the user's
// own config.ini, which no other install reads, replaces or deletes.
const char profile_install_file[] = "[Display configuration]\r\n"
                                    "Display title=1\r\n"
                                    "Display artist name=0\r\n"
                                    "Display album name=0\r\n"
                                    "Display album art=1\r\n"
                                    "Display song information=1\r\n"
                                    "Show elapsed time=1\r\n";

// Such a Winamp keeps its own settings beside, in winamp.ini.
void put_profile_install_file()
{
    SHCreateDirectoryExW(nullptr, user_settings_folder().c_str(), nullptr);
    write_file(user_settings_file(), profile_install_file);
    write_file(profile_winamp_settings(), "[Winamp]\r\n");
}

TEST_F(settings_rig, once_the_hosts_folder_takes_the_file_again_the_fallback_copy_is_moved_back_there)
{
    put_profile_install_file();
    // The host's folder refuses the file for one life: the choices go to the fallback folder.
    write_settings(user_file);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    start_here();
    change_in_dialog(*host, IDC_HIDE_WHILE_PAUSED);
    quit();
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_EQ(fallback_settings(), user_file + std::string("Hide while paused=1\r\n"));

    write_settings(default_file);
    date_back(file);
    host.reset();
    new_discord();
    load_here();
    start_with_blue_playing();
    EXPECT_EQ(last_activity().details, "The Band") << "the fallback copy is read before an older file";
    change_in_dialog(*host, IDC_HIDE_WHILE_PAUSED);
    quit();
    EXPECT_EQ(read_file(file), user_file + std::string("Hide while paused=0\r\n"));
    EXPECT_TRUE(fallback_settings_files().empty());
    EXPECT_EQ(read_file(user_settings_file()), profile_install_file);
}

// A program holds the fallback copy open (sharing reads and writes, not
// deletion) while a save goes to the host's folder again: the copy that
// cannot go gets the saved content, so no later start reads older bytes.
TEST_F(settings_rig, a_fallback_copy_that_cannot_be_deleted_gets_the_saved_content)
{
    write_settings(user_file);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    start_here();
    change_in_dialog(*host, IDC_HIDE_WHILE_PAUSED);
    quit();
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    const std::vector<std::wstring> copies = fallback_settings_files();
    ASSERT_EQ(copies.size(), 1u);
    // The copy as an older version wrote it: fewer lines.
    write_file(copies.front(), user_file);

    write_settings(default_file);
    date_back(file);
    host.reset();
    new_discord();
    load_here();
    HANDLE held = CreateFileW(copies.front().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    start_with_blue_playing();
    EXPECT_EQ(last_activity().details, "The Band") << "the fallback copy is read first";
    change_in_dialog(*host, IDC_HIDE_WHILE_PAUSED);
    quit();
    CloseHandle(held);
    const std::string saved = user_file + std::string("Hide while paused=1\r\n");
    EXPECT_EQ(read_file(file), saved);
    EXPECT_EQ(fallback_settings(), saved) << "overwritten in place";

    host.reset();
    new_discord();
    load_here();
    start_with_blue_playing();
    EXPECT_EQ(last_activity().details, "The Band");
    quit();
    EXPECT_EQ(read_file(file), saved);
}

// Beside a Winamp that keeps its settings in the user's profile, two other
// installs (portable ones, say) each keep to their own file and fallback copy.
TEST_F(settings_rig, installs_sharing_the_users_folder_read_and_write_only_their_own_files)
{
    put_profile_install_file();
    const std::wstring other_root = fresh_test_folder();
    const auto run_install = [&](const std::wstring &settings_directory, int change) {
        new_discord();
        host.reset();
        load();
        host->ini_directory_w = settings_directory;
        start_with_blue_playing();
        const discord_activity first = last_activity();
        change_in_dialog(*host, change);
        quit();
        return first;
    };

    // One with a folder that takes the file reads and writes only its own.
    EXPECT_EQ(run_install(root, IDC_SHOW_TITLE).details, "The Band - First Album")
        << "defaults, not the profile's file";
    EXPECT_EQ(read_file(file), title_off_file);

    // Its folder refused: a fallback copy of its own, that the other install does not read.
    write_settings(user_file);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(run_install(root, IDC_HIDE_WHILE_PAUSED).details, "The Band");
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(fallback_settings(), user_file + std::string("Hide while paused=1\r\n"));
    write_file(other_root + L"\\Plugins", "not a folder");
    EXPECT_EQ(run_install(other_root, IDC_SHOW_TITLE).details, "The Band - First Album");
    EXPECT_EQ(fallback_settings_files().size(), 2u);

    // The first one's folder takes the file again: only its own copy goes.
    write_settings(default_file);
    date_back(file);
    EXPECT_EQ(run_install(root, IDC_HIDE_WHILE_PAUSED).details, "The Band") << "its own fallback copy";
    EXPECT_EQ(read_file(file), user_file + std::string("Hide while paused=0\r\n"));
    ASSERT_EQ(fallback_settings(), title_off_file) << "the other install's copy stays";
    EXPECT_EQ(read_file(user_settings_file()), profile_install_file);
    remove_tree(other_root);
}

// The host's folder took the file again, and the user saved a newer
// config.ini there: it wins over the older fallback copy, and the quit that
// follows leaves it as it is.
TEST_F(settings_rig, a_newer_file_in_the_installs_own_folder_wins_over_an_older_fallback_copy)
{
    write_settings(user_file);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    start_here();
    change_in_dialog(*host, IDC_HIDE_WHILE_PAUSED);
    quit();
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    const std::vector<std::wstring> copies = fallback_settings_files();
    ASSERT_EQ(copies.size(), 1u);
    date_back(copies.front());

    write_settings(default_file);
    host.reset();
    new_discord();
    load_here();
    start_with_blue_playing();
    EXPECT_EQ(last_activity().details, "The Band - First Album") << "the newer file was read";
    quit();
    EXPECT_EQ(read_file(file), default_file);
}

// An editor holds config.ini open (reading and writing, sharing everything)
// across two lives of the plug-in and saves the user's edit between them:
// no quit replaces the file, no fallback copy shadows it, and the next start
// reads the edit.
TEST_F(settings_rig, an_edit_saved_by_an_editor_holding_the_file_across_two_lives_is_read_and_kept)
{
    write_settings(user_file_now);
    HANDLE editor = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(editor, INVALID_HANDLE_VALUE);
    const auto run_once = [&] {
        new_discord();
        host.reset();
        load_here();
        start_with_blue_playing();
        const discord_activity first = last_activity();
        quit();
        return first;
    };

    EXPECT_EQ(run_once().details, "The Band");
    EXPECT_EQ(read_file(file), user_file_now) << "a file that holds the settings in force is left alone";
    EXPECT_EQ(fallback_settings(), "<none>");

    // The edit, saved through the editor's handle: the album's name shown, and a note.
    std::string edited = "; with the album\r\n" + user_file_now;
    const std::string album_hidden = "Display album name=0";
    edited.replace(edited.find(album_hidden), album_hidden.size(), "Display album name=1");
    DWORD written = 0;
    SetFilePointer(editor, 0, nullptr, FILE_BEGIN);
    ASSERT_TRUE(WriteFile(editor, edited.data(), static_cast<DWORD>(edited.size()), &written, nullptr));
    ASSERT_TRUE(SetEndOfFile(editor));

    EXPECT_EQ(run_once().details, "The Band - First Album") << "the edit was read";
    EXPECT_EQ(read_file(file), edited);
    EXPECT_EQ(fallback_settings(), "<none>");
    CloseHandle(editor);
}

// Another program holds config.ini open while the plug-in starts; the handle
// is closed before the plug-in quits.
struct held_file_case {
    const char *what;
    DWORD access;
    DWORD share;
    DWORD held_ms; // how long the file stays held once the plug-in starts; INFINITE: until quit
    bool read;     // the plug-in reads the file
};

class held_file : public settings_rig, public testing::WithParamInterface<held_file_case> {};

// A file handle to close after a while, on a thread of its own.
struct delayed_close {
    HANDLE file;
    DWORD after_ms;
};

DWORD WINAPI close_later(void *job)
{
    const auto &close = *static_cast<delayed_close *>(job);
    Sleep(close.after_ms);
    CloseHandle(close.file);
    return 0;
}

TEST_P(held_file, is_read_or_else_kept_as_it_is)
{
    write_settings(user_file_now);
    HANDLE held =
        CreateFileW(file.c_str(), GetParam().access, GetParam().share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    load_here();
    // The clock starts just before init, so the plug-in meets the file held.
    delayed_close job{held, GetParam().held_ms};
    HANDLE closer =
        GetParam().held_ms != INFINITE ? CreateThread(nullptr, 0, &close_later, &job, 0, nullptr) : nullptr;
    start_with_blue_playing();
    EXPECT_EQ(last_activity().details, GetParam().read ? "The Band" : "The Band - First Album");
    if (closer != nullptr) {
        WaitForSingleObject(closer, INFINITE);
        CloseHandle(closer);
    } else {
        CloseHandle(held);
    }
    quit();
    EXPECT_EQ(read_file(file), user_file_now) << "the user's choices are never replaced by the defaults";
    EXPECT_TRUE(fallback_settings_files().empty());
}

INSTANTIATE_TEST_SUITE_P(
    holders, held_file,
    testing::Values(held_file_case{"open_for_reading_sharing_reads", GENERIC_READ, FILE_SHARE_READ, INFINITE,
                                   true},
                    held_file_case{"open_for_writing_sharing_everything", GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, INFINITE, true},
                    held_file_case{"open_without_sharing_for_a_moment", GENERIC_READ, 0, 20, true},
                    held_file_case{"open_without_sharing_throughout", GENERIC_READ, 0, INFINITE, false}),
    [](const auto &info) { return std::string(info.param.what); });

// A file the user edited by hand (line feeds, a comment, spaces around '=')
// and edits again while the host runs.
const char hand_edited_file[] = "# my settings\n"
                                "[Display configuration]\n"
                                "Display title = 1\n"
                                "Display album name = 0 ; no album\n";

TEST_F(settings_rig, an_edit_made_while_the_host_runs_is_kept_at_quit)
{
    write_settings(hand_edited_file);
    load_here();
    start_with_blue_playing();
    EXPECT_EQ(last_activity().details, "The Band");
    const std::string edited = std::string(hand_edited_file) + "Show elapsed time = 0\n";
    write_file(file, edited);
    quit();
    EXPECT_EQ(read_file(file), edited);
    EXPECT_EQ(fallback_settings(), "<none>");
}

TEST_F(settings_rig, quit_without_a_change_leaves_the_fallback_copy_as_it_is)
{
    write_settings(user_file);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    start_here();
    change_in_dialog(*host, IDC_HIDE_WHILE_PAUSED);
    quit();
    const std::vector<std::wstring> copies = fallback_settings_files();
    ASSERT_EQ(copies.size(), 1u);
    write_file(copies.front(), hand_edited_file);
    date_back(copies.front());
    WIN32_FILE_ATTRIBUTE_DATA before{};
    ASSERT_TRUE(GetFileAttributesExW(copies.front().c_str(), GetFileExInfoStandard, &before));

    host.reset();
    new_discord();
    load_here();
    start_with_blue_playing();
    EXPECT_EQ(last_activity().details, "The Band") << "the copy was read";
    quit();
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    WIN32_FILE_ATTRIBUTE_DATA after{};
    ASSERT_TRUE(GetFileAttributesExW(copies.front().c_str(), GetFileExInfoStandard, &after));
    EXPECT_EQ(read_file(copies.front()), hand_edited_file);
    EXPECT_EQ(CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime), 0) << "not written again";
    EXPECT_EQ(read_file(file), user_file);
}

TEST_F(settings_rig, ok_changes_only_its_line_and_takes_an_edit_of_another_key_made_since_the_start)
{
    write_settings(hand_edited_file);
    load_here();
    start_with_blue_playing();
    EXPECT_EQ(last_activity().details, "The Band");
    // The user shows the album's name again in the file, and adds a note.
    const std::string edited = with_line(hand_edited_file, "Display album name = 0 ; no album",
                                         "; note\nDisplay album name = 1 ; the album after all");
    write_file(file, edited);
    const int before = published();
    change_in_dialog(*host, IDC_HIDE_WHILE_PAUSED);
    EXPECT_FALSE(save_message_seen);
    EXPECT_EQ(read_file(file), edited + "Hide while paused=1\n");
    EXPECT_EQ(next_activity(before).details, "The Band - First Album") << "the file's edit is in force";
    quit();
    EXPECT_EQ(read_file(file), edited + "Hide while paused=1\n");
}

// An editor holds config.ini open (sharing everything) when OK is pressed,
// saves another change through its handle and closes: quit writes the
// pending change into what the editor saved, changing only its line.
TEST_F(settings_rig, a_change_the_editor_held_back_is_merged_into_its_newer_save_at_quit)
{
    write_settings(hand_edited_file);
    HANDLE editor = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(editor, INVALID_HANDLE_VALUE);
    start_here();
    change_in_dialog(*host, IDC_SHOW_TITLE);
    EXPECT_TRUE(save_message_seen) << "OK says the change could not be saved";
    EXPECT_EQ(read_file(file), hand_edited_file);

    const std::string edited = std::string(hand_edited_file) + "Show elapsed time=0\n";
    DWORD written = 0;
    SetFilePointer(editor, 0, nullptr, FILE_BEGIN);
    ASSERT_TRUE(WriteFile(editor, edited.data(), static_cast<DWORD>(edited.size()), &written, nullptr));
    ASSERT_TRUE(SetEndOfFile(editor));
    CloseHandle(editor);
    quit();
    EXPECT_EQ(read_file(file), with_line(edited, "Display title = 1", "Display title=0"));
    EXPECT_EQ(fallback_settings(), "<none>");
}

} // namespace
