// The connection to Discord through the shipped plug-in: Discord started
// after the player, Discord quitting and coming back, what is sent once per
// change only, quit, and every SDK build a user may have (run in a process
// of its own with the SDK only where the test puts it).
#include "files.h"
#include "rig.h"

namespace {

// The plug-in retries every 5 s; Discord is expected within about 10 s.
constexpr unsigned reconnect_bound_ms = 10000;

class connection_rig : public plugin_rig {
  protected:
    void play_blue_at_start()
    {
        load();
        start_with_blue_playing();
    }

    // The newest update went through a live core of this generation and shows Blue playing.
    bool blue_shown_on(int generation)
    {
        const auto events = sdk_events();
        return !events.empty() && events.back().kind == STUB_SDK_UPDATE_ACTIVITY &&
               events.back().generation == generation &&
               std::string(events.back().activity.state) == "Blue (Playing)";
    }
};

class discord_absent_at_start : public connection_rig, public ::testing::WithParamInterface<int32_t> {};

TEST_P(discord_absent_at_start, the_player_starts_and_the_track_appears_once_discord_runs)
{
    stub_sdk_set_discord_running(0);
    stub_sdk_set_absent_mode(GetParam());
    play_blue_at_start();
    EXPECT_NE(host->current_procedure(), host->own_procedure());
    EXPECT_EQ(stub_sdk_create_count(), 1);
    host->pump(500);
    EXPECT_EQ(stub_sdk_live_cores(), 0) << "a core that was dead from the start is destroyed";
    const int first_generation = stub_sdk_generation();

    stub_sdk_set_discord_running(1);
    EXPECT_TRUE(pump_until([&] { return blue_shown_on(first_generation + 1); }, reconnect_bound_ms));
    EXPECT_EQ(stub_sdk_live_cores(), 1);
    stub_sdk_creation creation{};
    ASSERT_TRUE(stub_sdk_last_creation(&creation));
    EXPECT_EQ(creation.params.flags, 1u) << "never asks the SDK to start Discord";
    EXPECT_LE(stub_sdk_create_count(), 4) << "retries about every 5 s, not in a loop";
}

INSTANTIATE_TEST_SUITE_P(creation_outcomes, discord_absent_at_start,
                         ::testing::Values(STUB_SDK_ABSENT_FAILS, STUB_SDK_ABSENT_NOT_RUNNING,
                                           STUB_SDK_ABSENT_DEAD_CORE),
                         [](const auto &info) {
                             switch (info.param) {
                             case STUB_SDK_ABSENT_FAILS:
                                 return "creation_fails_with_4";
                             case STUB_SDK_ABSENT_NOT_RUNNING:
                                 return "creation_fails_with_27";
                             default:
                                 return "creation_gives_a_dead_core";
                             }
                         });

TEST_F(connection_rig, discord_restarting_mid_play_gets_a_new_core_with_the_current_track)
{
    play_blue_at_start();
    host->pump(200);
    ASSERT_TRUE(blue_shown_on(1));

    stub_sdk_set_discord_running(0);
    host->pump(300);
    EXPECT_EQ(stub_sdk_destroy_count(), 1) << "the dead core is destroyed";
    EXPECT_EQ(stub_sdk_live_cores(), 0);
    host->pause(); // nothing to send it to meanwhile
    host->resume();

    stub_sdk_set_discord_running(1);
    EXPECT_TRUE(pump_until([&] { return blue_shown_on(2); }, reconnect_bound_ms));
    const int pumped = stub_sdk_run_callbacks_count();
    host->pump(300);
    EXPECT_GT(stub_sdk_run_callbacks_count(), pumped) << "the new core is pumped";
    EXPECT_TRUE(sdk_events().back().callback_delivered);
}

TEST_F(connection_rig, an_activity_equal_to_the_last_one_sent_is_not_sent_again)
{
    play_blue_at_start();
    const int after_play = published();
    host->notify_status();
    host->notify_status();
    EXPECT_EQ(published(), after_play);

    host->output_time_ms = 42000;
    host->pause();
    EXPECT_EQ(published(), after_play + 1);
    host->notify_status();
    EXPECT_EQ(published(), after_play + 1);
    host->stop();
    host->stop();
    EXPECT_EQ(published(), after_play + 2);
    EXPECT_TRUE(same_record(last_activity(), idle_activity()));
}

TEST_F(connection_rig, quit_while_waiting_for_discord_stops_the_retries)
{
    stub_sdk_set_discord_running(0);
    play_blue_at_start();
    quit();
    EXPECT_EQ(host->current_procedure(), host->own_procedure());
    stub_sdk_set_discord_running(1);
    host->pump(5500);
    EXPECT_EQ(stub_sdk_create_count(), 1);
    EXPECT_EQ(published(), 0);
}

// A folder of its own for a child host, the plug-in and, where a row says, an SDK build.
class sdk_install : public ::testing::Test {
  protected:
    void SetUp() override
    {
        bin = module_folder();
        root = fresh_test_folder();
        host_folder = root + L"\\Winamp";
        plugins = host_folder + L"\\Plugins";
        CreateDirectoryW(host_folder.c_str(), nullptr);
        CreateDirectoryW(plugins.c_str(), nullptr);
        ASSERT_TRUE(
            CopyFileW((bin + L"\\bare_host.exe").c_str(), (host_folder + L"\\bare_host.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW((bin + L"\\gen_DiscordCorvane.dll").c_str(),
                              (plugins + L"\\gen_DiscordCorvane.dll").c_str(), FALSE));
    }

    void TearDown() override { remove_tree(root); }

    static std::wstring module_folder()
    {
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring folder = path;
        return folder.substr(0, folder.find_last_of(L'\\'));
    }

    void put_sdk(const std::wstring &build, const std::wstring &folder)
    {
        const std::wstring source = build.empty() ? bin : bin + L"\\sdk\\" + build;
        ASSERT_TRUE(CopyFileW((source + L"\\discord_game_sdk.dll").c_str(),
                              (folder + L"\\discord_game_sdk.dll").c_str(), FALSE));
    }

    // Runs the child host's session; returns its transcript.
    std::string run_session()
    {
        const std::wstring command =
            L"\"" + host_folder + L"\\bare_host.exe\" \"" + plugins + L"\\gen_DiscordCorvane.dll\"";
        std::string output;
        EXPECT_EQ(run_child(std::string(command.begin(), command.end()), output), 0u) << output;
        return output;
    }

    std::wstring bin, root, host_folder, plugins;
};

std::string narrow(const std::wstring &text)
{
    return std::string(text.begin(), text.end());
}

struct sdk_case {
    const char *name;
    const wchar_t *build; // folder under bin\sdk; empty for the default one (2.5.6, cdecl)
    const char *status;   // the dialog's status line
};

class every_sdk_build : public sdk_install, public ::testing::WithParamInterface<sdk_case> {};

// Play, pause, stop and quit through each build beside the plug-in: every
// request arrives whole, callbacks of the build's convention, nothing after quit.
TEST_P(every_sdk_build, a_session_beside_the_plugin)
{
    put_sdk(GetParam().build, plugins);
    const std::string transcript = run_session();
    const bool supported = std::string(GetParam().status).rfind("Connected", 0) == 0;
    std::string expected = "init 0\n"
                           "sdk " +
                           narrow(plugins) +
                           "\\discord_game_sdk.dll\n"
                           "status " +
                           GetParam().status +
                           "\n"
                           "quit returned\n";
    if (supported) {
        expected += "update core=1 callback=0 state=\"(Idle)\" details=\"\" image=\"winamp-logo\" start=0\n"
                    "update core=1 callback=0 state=\"Blue (Playing)\" details=\"The Band - First Album\" "
                    "image=\"\" start=set\n"
                    "update core=1 callback=0 state=\"Blue (Stopped)\" details=\"The Band - First Album\" "
                    "image=\"\" start=0\n"
                    "update core=1 callback=0 state=\"(Idle)\" details=\"\" image=\"winamp-logo\" start=0\n"
                    "clear core=1 callback=43\n";
    }
    expected += "live cores 0\nalive after unload\n";
    EXPECT_EQ(transcript, expected);
}

INSTANTIATE_TEST_SUITE_P(
    builds, every_sdk_build,
    ::testing::Values(
        sdk_case{"cdecl_2_5_6", L"", "Connected to Discord (Game SDK 2.5.6)."},
        sdk_case{"cdecl_3_0_0", L"cdecl-3.0.0", "Connected to Discord (Game SDK 3.0.0)."},
        sdk_case{"stdcall_3_1_0", L"stdcall-3.1.0", "Connected to Discord (Game SDK 3.1.0)."},
        sdk_case{"stdcall_3_2_1", L"stdcall-3.2.1", "Connected to Discord (Game SDK 3.2.1)."},
        sdk_case{"stdcall_2_5_6", L"stdcall-2.5.6", "Connected to Discord (Game SDK 2.5.6)."},
        sdk_case{"cdecl_4_0_0", L"cdecl-4.0.0",
                 "Unsupported \"discord_game_sdk.dll\" version 4.0.0. Use the x86 DLL of a Game SDK from 2.5 "
                 "to 3.2."},
        sdk_case{"stdcall_1_0_0", L"stdcall-1.0.0",
                 "Unsupported \"discord_game_sdk.dll\" version 1.0.0. Use the x86 DLL of a Game SDK from 2.5 "
                 "to 3.2."},
        sdk_case{
            "no_version", L"no-version",
            "Unsupported \"discord_game_sdk.dll\": it reports no version. Use the x86 DLL of a Game SDK from "
            "2.5 to 3.2."}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(sdk_install, without_any_sdk_the_plugin_loads_says_what_is_missing_and_quits)
{
    const std::string transcript = run_session();
    EXPECT_EQ(transcript,
              "init 0\n"
              "sdk none\n"
              "status \"discord_game_sdk.dll\" not found in " +
                  narrow(plugins) + ", " + narrow(host_folder) +
                  " or the system folders: put the Game SDK's x86 DLL next to gen_DiscordCorvane.dll.\n"
                  "quit returned\n"
                  "alive after unload\n");
}

TEST_F(sdk_install, a_file_beside_the_plugin_that_is_no_usable_sdk_is_named_in_the_status)
{
    // What a user who took the 64-bit DLL sees: Windows refuses to load it.
    write_file(plugins + L"\\discord_game_sdk.dll", "MZ, but no 32-bit DLL");
    std::string transcript = run_session();
    EXPECT_NE(
        transcript.find("status \"discord_game_sdk.dll\" in " + narrow(plugins) +
                        " cannot be loaded (error 193): use the Game SDK's 32-bit DLL, from its lib\\x86 "
                        "folder.\n"),
        std::string::npos)
        << transcript;

    // A DLL of that name that is not the SDK at all.
    ASSERT_TRUE(CopyFileW((bin + L"\\gen_DiscordCorvane.dll").c_str(),
                          (plugins + L"\\discord_game_sdk.dll").c_str(), FALSE));
    transcript = run_session();
    EXPECT_NE(transcript.find("status The \"discord_game_sdk.dll\" found is not the Discord Game SDK"),
              std::string::npos)
        << transcript;
    EXPECT_NE(transcript.find("alive after unload"), std::string::npos) << transcript;
}

TEST_F(sdk_install, an_sdk_next_to_the_player_is_found_too)
{
    put_sdk(L"stdcall-3.2.1", host_folder);
    const std::string transcript = run_session();
    EXPECT_NE(transcript.find("sdk " + narrow(host_folder) + "\\discord_game_sdk.dll\n"), std::string::npos)
        << transcript;
    EXPECT_NE(transcript.find("status Connected to Discord (Game SDK 3.2.1).\n"), std::string::npos)
        << transcript;
    EXPECT_EQ(transcript.find("fault"), std::string::npos) << transcript;
}

} // namespace
