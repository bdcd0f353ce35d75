// Start, run and shut-down of the plug-in inside the simulated host: the idle
// activity, the subclass of the host window, the pump, and quit.
#include "rig.h"

namespace {

const wchar_t blue_file[] = L"C:\\Music\\blue.mp3";

TEST_F(plugin_rig, start_creates_the_core_with_the_application_id_and_without_requiring_discord)
{
    start();
    stub_sdk_creation creation{};
    ASSERT_TRUE(stub_sdk_last_creation(&creation));
    EXPECT_EQ(creation.version, 2);
    EXPECT_EQ(creation.params.client_id, PLUGIN_CLIENT_ID);
    EXPECT_EQ(creation.params.flags, 1u);
    EXPECT_EQ(creation.params.events, nullptr);
    const DiscordCreateParams &p = creation.params;
    for (int version : {p.application_version, p.user_version, p.image_version, p.activity_version,
                        p.relationship_version, p.lobby_version, p.network_version, p.overlay_version,
                        p.storage_version, p.store_version, p.voice_version, p.achievement_version}) {
        EXPECT_EQ(version, 1);
    }
    for (void *table : {p.application_events, p.user_events, p.image_events, p.activity_events,
                        p.relationship_events, p.lobby_events, p.network_events, p.overlay_events,
                        p.storage_events, p.store_events, p.voice_events, p.achievement_events}) {
        EXPECT_EQ(table, nullptr);
    }
    EXPECT_EQ(stub_sdk_activity_manager_requests(), 1);
    ASSERT_EQ(published(), 1);
    EXPECT_EQ(sdk_events()[0].callback_data, p.event_data) << "callback data is the plug-in state";
}

TEST_F(plugin_rig, start_with_a_stopped_player_publishes_exactly_the_idle_activity)
{
    start();
    ASSERT_EQ(published(), 1);
    EXPECT_TRUE(same_record(last_activity(), idle_activity()));
}

TEST_F(plugin_rig, a_track_playing_at_start_is_shown_at_once)
{
    load();
    start_with_blue_playing();
    ASSERT_EQ(published(), 1);
    EXPECT_STREQ(last_activity().state, "Blue (Playing)");
}

class window_kinds : public plugin_rig, public ::testing::WithParamInterface<bool> {};

TEST_P(window_kinds, the_status_notification_republishes_and_reaches_the_host_unchanged)
{
    start(GetParam());
    EXPECT_NE(host->current_procedure(), host->own_procedure());
    host->library[blue_file] = tagged_track(L"Blue", L"The Band", L"First Album");
    host->received.clear();

    host->playing_file = blue_file;
    host->playback_state = 1;
    EXPECT_EQ(host->notify_status(), sim_status_result);
    ASSERT_EQ(published(), 2);
    EXPECT_STREQ(last_activity().state, "Blue (Playing)");
    ASSERT_FALSE(host->received.empty());
    const sim_message &last = host->received.back();
    EXPECT_EQ(last.message, WM_WA_IPC);
    EXPECT_EQ(last.wparam, IPC_CB_MISC_STATUS);
    EXPECT_EQ(last.lparam, IPC_CB_MISC);

    host->stop();
    ASSERT_EQ(published(), 3);
    EXPECT_TRUE(same_record(last_activity(), idle_activity()));
}

TEST_P(window_kinds, other_messages_pass_through_unchanged_without_an_update)
{
    start(GetParam());
    const struct {
        WPARAM wparam;
        LPARAM lparam;
    } others[] = {{2, 604}, {3, 603}, {1, 603}, {2, 0x7777}};
    for (const auto &other : others) {
        host->received.clear();
        EXPECT_EQ(SendMessageW(host->window(), WM_WA_IPC, other.wparam, other.lparam),
                  sim_unknown_query_result);
        ASSERT_EQ(host->received.size(), 1u);
        EXPECT_EQ(host->received[0].wparam, other.wparam);
        EXPECT_EQ(host->received[0].lparam, other.lparam);
    }
    EXPECT_EQ(published(), 1);

    // Text messages keep their character set through the subclass.
    const wchar_t title[] = L"Winamp \u00e9\u00fc";
    ASSERT_TRUE(SetWindowTextW(host->window(), title));
    wchar_t read_back[64] = {};
    GetWindowTextW(host->window(), read_back, 64);
    EXPECT_STREQ(read_back, title);
}

INSTANTIATE_TEST_SUITE_P(unicode_and_ansi, window_kinds, ::testing::Values(true, false),
                         [](const auto &info) { return info.param ? "unicode" : "ansi"; });

TEST_F(plugin_rig, playback_states_other_than_stopped_playing_and_paused_send_nothing)
{
    start();
    for (LRESULT state : {2, 4, -1, 7}) {
        host->playback_state = state;
        host->notify_status();
    }
    EXPECT_EQ(published(), 1);
}

TEST_F(plugin_rig, the_pump_runs_the_sdk_callbacks_repeatedly_and_delivers_completions)
{
    start();
    EXPECT_EQ(stub_sdk_pending_callbacks(), 1) << "completion delivered before any pump";
    host->pump(1000);
    // About 60 ticks at 16 ms; the bound only shows that the pump repeats.
    EXPECT_GE(stub_sdk_run_callbacks_count(), 10);
    EXPECT_EQ(stub_sdk_pending_callbacks(), 0);
    EXPECT_TRUE(sdk_events()[0].callback_delivered);
}

TEST_F(plugin_rig, quit_clears_the_activity_destroys_the_core_stops_the_pump_and_restores_the_window)
{
    start();
    host->pump(100);
    quit();
    const auto events = sdk_events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].kind, STUB_SDK_CLEAR_ACTIVITY);
    EXPECT_EQ(events[1].callback_data, events[0].callback_data);
    EXPECT_EQ(host->current_procedure(), host->own_procedure());
    EXPECT_EQ(stub_sdk_destroy_count(), 1);
    EXPECT_EQ(stub_sdk_live_cores(), 0);
    EXPECT_TRUE(events[1].callback_delivered) << "pending callbacks end inside destroy";

    const int pumped = stub_sdk_run_callbacks_count();
    host->pump(200);
    EXPECT_EQ(stub_sdk_run_callbacks_count(), pumped);
    host->notify_status();
    EXPECT_EQ(published(), 2);
}

// A later subclass of the host window keeps ours in its chain.
WNDPROC later_previous;
LRESULT CALLBACK later_subclass(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return CallWindowProcW(later_previous, window, message, wparam, lparam);
}

// The host unloads the plug-in after quit while our procedure still sits in
// the later subclass's chain: the DLL stays mapped and keeps forwarding. The
// test loads a copy under a name of its own, as that DLL stays in this
// process for good: later tests, which load the plug-in by its name, must not
// be given it.
TEST_F(plugin_rig, quit_and_unload_under_a_later_subclass_keep_our_procedure_forwarding)
{
    wchar_t temp[MAX_PATH], tests[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    GetModuleFileNameW(nullptr, tests, MAX_PATH);
    std::wstring built = tests;
    built = built.substr(0, built.rfind(L'\\')) + L"\\gen_DiscordCorvane.dll";
    const std::wstring folder = std::wstring(temp) + L"corvane-pinned";
    const std::wstring copy = folder + L"\\gen_CorvanePinned.dll";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(built.c_str(), copy.c_str(), FALSE)) << GetLastError();
    host = std::make_unique<sim_host>();
    ASSERT_TRUE(host->load_plugin(copy.c_str())) << "LoadLibrary error " << GetLastError();
    ASSERT_EQ(host->init_plugin(), 0);
    later_previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(host->window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&later_subclass)));
    host->quit_plugin();
    host->unload_plugin();
    EXPECT_NE(GetModuleHandleW(copy.c_str()), nullptr) << "the DLL stays mapped";
    EXPECT_EQ(host->current_procedure(), reinterpret_cast<LONG_PTR>(&later_subclass));

    host->received.clear();
    EXPECT_EQ(host->notify_status(), sim_status_result);
    SetWindowTextW(host->window(), L"after the unload");
    host->pump(100);
    EXPECT_EQ(host->queries_received(IPC_CB_MISC), 1) << "the notification reached the host";
    EXPECT_EQ(published(), 2) << "nothing is published after quit";
}

TEST(stand_in_sdk, without_discord_default_flags_end_the_caller_and_no_require_discord_fails_with_4)
{
    std::string output;
    EXPECT_EQ(run_child("sdk_probe.exe 0", output), stub_sdk_relaunch_exit_code);
    EXPECT_EQ(output, "");
    output.clear();
    EXPECT_EQ(run_child("sdk_probe.exe 1", output), 0u);
    EXPECT_NE(output.find("DiscordCreate result 4"), std::string::npos) << output;
}

} // namespace
