// Start, run and shut-down of the plug-in inside the simulated host: the idle
// activity, the subclass of the host window, and quit.
#include "rig.h"
#include "version.h"

namespace {

const wchar_t blue_file[] = L"C:\\Music\\blue.mp3";

TEST_F(plugin_rig, start_with_a_stopped_player_publishes_exactly_the_idle_activity)
{
    start();
    settle();
    ASSERT_EQ(published(), 1);
    EXPECT_EQ(last_activity(), idle_activity());
    EXPECT_EQ(discord->updates()[0].json,
              R"({"cmd":"SET_ACTIVITY","nonce":")" + discord->updates()[0].nonce + R"(","args":{"pid":)" +
                  std::to_string(GetCurrentProcessId()) +
                  R"j(,"activity":{"state":"(Idle)","assets":{"large_image":"winamp-logo"}}}})j");
}

TEST_F(plugin_rig, the_host_lists_the_plugin_by_its_name_and_version)
{
    load();
    EXPECT_STREQ(host->descriptor()->description, "Discord Corvane " PLUGIN_VERSION_STRING);
}

TEST_F(plugin_rig, a_track_playing_at_start_is_shown_at_once)
{
    load();
    start_with_blue_playing();
    EXPECT_EQ(discord->updates()[0].activity.state, "Blue (Playing)") << "the first update";
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
    EXPECT_EQ(host->send_notification(IPC_CB_MISC_STATUS), sim_status_result);
    ASSERT_FALSE(host->received.empty());
    const sim_message last = host->received.back();
    EXPECT_EQ(last.message, WM_WA_IPC);
    EXPECT_EQ(last.wparam, IPC_CB_MISC_STATUS);
    EXPECT_EQ(last.lparam, IPC_CB_MISC);
    // Decided within the notification: Discord has the card while the host's loop waits.
    const DWORD sent = GetTickCount();
    while (published() < 2 && GetTickCount() - sent < 10000) {
        Sleep(10);
    }
    EXPECT_EQ(published(), 2);
    EXPECT_EQ(next_activity(1).state, "Blue (Playing)");

    host->stop();
    EXPECT_TRUE(pump_until([&] { return published() > 2 && last_activity() == idle_activity(); }));
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
    settle();
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
    settle();
    EXPECT_EQ(published(), 1);
}

TEST_F(plugin_rig, quit_clears_the_activity_closes_the_pipe_and_restores_the_window)
{
    start();
    quit();
    EXPECT_TRUE(pump_until([&] { return published() == 2 && !discord->connected(); }, 2000));
    EXPECT_TRUE(discord->updates()[1].clear);
    EXPECT_EQ(discord->updates()[1].json, R"({"cmd":"SET_ACTIVITY","nonce":")" + discord->updates()[1].nonce +
                                              R"(","args":{"pid":)" + std::to_string(GetCurrentProcessId()) +
                                              "}}");
    EXPECT_EQ(host->current_procedure(), host->own_procedure());

    host->notify_status();
    host->pump(5500);
    EXPECT_EQ(published(), 2) << "nothing is published after quit";
    EXPECT_EQ(discord->connections(), 1) << "nor is Discord looked for";
}

// Next track as the host does it: the whole stop sequence, then the whole play
// sequence, all posted and handled once the new file plays. The card is
// decided once for the run, and once for the title and info that follow.
TEST_F(plugin_rig, a_track_change_with_the_hosts_burst_publishes_one_activity_for_the_new_track)
{
    catalogue_respond(R"({"status":200,"body":"{\"data\":[],\"total\":0}"})");
    load();
    start_with_blue_playing();
    const wchar_t rage_file[] = L"C:\\Music\\rage.mp3";
    host->library[rage_file] = tagged_track(L"Tears of Rage", L"The Band", L"Basement Tapes");
    host->pump(300);
    const int before = published();
    host->received.clear();
    host->play(rage_file);
    EXPECT_TRUE(pump_until([&] { return last_activity().state == "Tears of Rage (Playing)"; }));
    host->pump(500); // the title and info notifications that follow
    EXPECT_EQ(published(), before + 1) << "no idle card, no repeat";
    EXPECT_EQ(host->queries_received(IPC_CB_MISC), 9) << "the stop and play notifications reached the host";
    EXPECT_EQ(host->queries_received(SIM_IPC_STOPPLAYING), 1);
    EXPECT_EQ(host->queries_received(SIM_IPC_PLAYING_FILEW), 1);
    EXPECT_EQ(host->queries_received(IPC_GET_PLAYING_FILENAME), 2) << "the card decided once per run";
}

// A copy of the shipped DLL under a name of its own, for a test after which
// it stays in this process for good: later tests, which load the plug-in by
// its name, must not be given it.
std::wstring plugin_copy(const wchar_t *name)
{
    wchar_t temp[MAX_PATH], tests[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    GetModuleFileNameW(nullptr, tests, MAX_PATH);
    std::wstring built = tests;
    built = built.substr(0, built.rfind(L'\\')) + L"\\gen_DiscordCorvane.dll";
    const std::wstring folder = std::wstring(temp) + L"corvane-copies";
    const std::wstring copy = folder + L"\\" + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    EXPECT_TRUE(CopyFileW(built.c_str(), copy.c_str(), FALSE)) << GetLastError();
    return copy;
}

// Winamp's own exit: playback stopped, the main window destroyed, then quit,
// and the DLL stays loaded until the process ends.
TEST_F(plugin_rig, quit_after_the_main_window_is_gone_clears_the_activity_and_leaves_nothing_running)
{
    const std::wstring copy = plugin_copy(L"gen_CorvaneExit.dll");
    host = std::make_unique<sim_host>();
    ASSERT_TRUE(host->load_plugin(copy.c_str())) << "LoadLibrary error " << GetLastError();
    host->library[blue_file] = tagged_track(L"Blue", L"The Band", L"First Album");
    ASSERT_EQ(host->init_plugin(), 0);
    await_published(1);
    host->play(blue_file);
    EXPECT_TRUE(pump_until([&] { return last_activity().state == "Blue (Playing)"; }));

    host->exit_without_unloading();
    EXPECT_TRUE(pump_until([&] { return discord->updates().back().clear && !discord->connected(); }, 2000))
        << "the activity is cleared within quit's bound";
    EXPECT_NE(GetModuleHandleW(copy.c_str()), nullptr) << "the host keeps the DLL";
    const int after_quit = static_cast<int>(discord->frames().size());
    host->pump(5500);
    EXPECT_EQ(static_cast<int>(discord->frames().size()), after_quit) << "nothing of the plug-in runs";
    EXPECT_EQ(discord->connections(), 1) << "nor is Discord looked for";
}

// At log-off Winamp calls quit from inside its main window's procedure, with
// the plug-in's own procedure below it on the stack, to which quit returns:
// the DLL stays mapped for it, whether the host frees the DLL after the
// window's procedure has returned or right after quit, inside it. Nothing of
// the plug-in runs afterwards.
class log_off_hosts : public plugin_rig, public ::testing::WithParamInterface<bool> {};

TEST_P(log_off_hosts, quit_from_inside_the_window_procedure_returns_through_mapped_code)
{
    const bool freed_inside = GetParam();
    const std::wstring copy =
        plugin_copy(freed_inside ? L"gen_CorvaneFreedAtLogOff.dll" : L"gen_CorvaneLogOff.dll");
    host = std::make_unique<sim_host>();
    host->free_plugin_at_end_session = freed_inside;
    ASSERT_TRUE(host->load_plugin(copy.c_str())) << "LoadLibrary error " << GetLastError();
    ASSERT_EQ(host->init_plugin(), 0);
    await_published(1);
    host->library[blue_file] = tagged_track(L"Blue", L"The Band", L"First Album");
    host->play(blue_file);
    EXPECT_TRUE(pump_until([&] { return last_activity().state == "Blue (Playing)"; }));

    host->end_session();
    EXPECT_EQ(host->current_procedure(), host->own_procedure()) << "the window has its own procedure back";
    EXPECT_TRUE(pump_until([&] { return discord->updates().back().clear && !discord->connected(); }, 2000))
        << "the activity is cleared within quit's bound";
    const size_t updates = discord->updates().size();
    host->unload_plugin();
    host->pump(300);
    EXPECT_NE(GetModuleHandleW(copy.c_str()), nullptr) << "the DLL stays mapped";
    EXPECT_EQ(host->send_notification(IPC_CB_MISC_STATUS), sim_status_result);
    host->play(blue_file);
    host->stop();
    host->pump(300);
    EXPECT_EQ(discord->updates().size(), updates) << "nothing after the clear";
    EXPECT_EQ(discord->connections(), 1) << "nor is Discord looked for";
}

INSTANTIATE_TEST_SUITE_P(freeing_the_dll, log_off_hosts, ::testing::Values(false, true),
                         [](const auto &info) {
                             return info.param ? "right_after_quit" : "after_the_window_procedure";
                         });

// A later subclass of the host window keeps ours in its chain.
WNDPROC later_previous;
LRESULT CALLBACK later_subclass(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return CallWindowProcW(later_previous, window, message, wparam, lparam);
}

// The host unloads the plug-in after quit while our procedure still sits in
// the later subclass's chain: the DLL stays mapped and keeps forwarding.
TEST_F(plugin_rig, quit_and_unload_under_a_later_subclass_keep_our_procedure_forwarding)
{
    const std::wstring copy = plugin_copy(L"gen_CorvanePinned.dll");
    host = std::make_unique<sim_host>();
    ASSERT_TRUE(host->load_plugin(copy.c_str())) << "LoadLibrary error " << GetLastError();
    ASSERT_EQ(host->init_plugin(), 0);
    await_published(1);
    later_previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(host->window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&later_subclass)));
    host->quit_plugin();
    host->unload_plugin();
    EXPECT_NE(GetModuleHandleW(copy.c_str()), nullptr) << "the DLL stays mapped";
    EXPECT_EQ(host->current_procedure(), reinterpret_cast<LONG_PTR>(&later_subclass));

    host->received.clear();
    EXPECT_EQ(host->send_notification(IPC_CB_MISC_STATUS), sim_status_result);
    SetWindowTextW(host->window(), L"after the unload");
    host->pump(100);
    EXPECT_EQ(host->queries_received(IPC_CB_MISC), 1) << "the notification reached the host";
    EXPECT_TRUE(pump_until([&] { return published() == 2; }, 2000)) << "the clear";
    settle();
    EXPECT_EQ(published(), 2) << "the clear, and nothing after it";
}

} // namespace
