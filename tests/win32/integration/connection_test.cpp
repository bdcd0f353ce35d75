// The connection to Discord's pipe through the shipped plug-in, against the
// fake Discord: Discord started before or after the player, restarting,
// READY late or never, a refused update sent again without the newer fields
// (and an old Discord that refuses them), PING, malformed frames and CLOSE,
// refused handshakes retried ever later, and afresh after an attempt that
// found no pipe, a flood of PINGs, the first pipe taken by a peer that closes
// at once or never answers, quit in every phase, a burst of track changes
// within the rate, the frames compared with the Game SDK's, and a stray
// discord_game_sdk.dll that changes nothing.
#include "files.h"
#include "json/json.h"
#include "rig.h"

#include <algorithm>
#include <map>

namespace {

using namespace std::string_literals;

// The plug-in looks for Discord every 5 s: it is found within about that.
constexpr unsigned reconnect_bound_ms = 10000;
// What the main thread may wait in quit, with some slack for a loaded machine.
constexpr DWORD quit_bound_ms = 700;

const wchar_t blue_file[] = L"C:\\Music\\blue.mp3";

class connection_rig : public plugin_rig {
  protected:
    // "Blue" plays at start; returns once Discord shows it with its cover.
    void start_with_blue_and_its_cover()
    {
        load();
        start_with_blue_playing();
        await_cover(0);
    }

    // Whether the newest update went through connection `connection` and shows `state`.
    bool shown_on(int connection, const std::string &state)
    {
        const auto updates = discord->updates();
        return !updates.empty() && updates.back().connection == connection && !updates.back().clear &&
               updates.back().activity.state == state;
    }

    void play_track(const std::wstring &file, const std::wstring &title)
    {
        host->library[file] = tagged_track(title, L"The Band", L"First Album");
        host->play(file);
    }
};

TEST_F(connection_rig, discord_started_before_the_player_gets_the_handshake_and_then_the_track)
{
    load();
    start_with_blue_playing();
    const auto frames = discord->frames();
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames[0].opcode, 0u);
    EXPECT_EQ(frames[0].json, R"({"v":1,"client_id":")" + std::to_string(PLUGIN_CLIENT_ID) + "\"}");
    EXPECT_TRUE(frames[1].set_activity);
    EXPECT_EQ(frames[1].activity.state, "Blue (Playing)");
    EXPECT_EQ(discord->connections(), 1);
}

TEST_F(connection_rig, discord_started_after_the_player_shows_the_current_track_within_seconds)
{
    discord->go_away();
    load();
    ASSERT_EQ(host->init_plugin(), 0);
    started = true;
    EXPECT_NE(host->current_procedure(), host->own_procedure());
    host->library[blue_file] = tagged_track(L"Blue", L"The Band", L"First Album");
    host->play(blue_file);
    host->pump(1000);
    EXPECT_EQ(discord->connections(), 0);

    discord->come_back();
    const DWORD back = GetTickCount();
    EXPECT_TRUE(pump_until([&] { return shown_on(1, "Blue (Playing)"); }, reconnect_bound_ms));
    EXPECT_LT(GetTickCount() - back, reconnect_bound_ms);
    EXPECT_EQ(published(), 1) << "only what plays now, not what played while Discord was away";
}

TEST_F(connection_rig, discord_restarting_mid_play_gets_the_current_track_on_the_new_connection)
{
    load();
    start_with_blue_playing();
    discord->go_away();
    host->pump(300);
    host->pause(); // nothing to send it to meanwhile
    discord->come_back();
    EXPECT_TRUE(pump_until([&] { return shown_on(2, "Blue (Stopped)"); }, reconnect_bound_ms));
    EXPECT_EQ(discord->connections(), 2);
}

TEST_F(connection_rig, an_activity_equal_to_the_last_one_sent_is_not_sent_again)
{
    start_with_blue_and_its_cover();
    const int shown = published();
    host->notify_status();
    host->notify_status();
    settle();
    EXPECT_EQ(published(), shown);

    host->output_time_ms = 42000;
    host->pause();
    EXPECT_EQ(next_activity(shown).state, "Blue (Stopped)");
    host->notify_status();
    settle();
    EXPECT_EQ(published(), shown + 1);
    host->stop();
    host->stop();
    EXPECT_EQ(next_activity(shown + 1), idle_activity());
    settle();
    EXPECT_EQ(published(), shown + 2);
}

TEST_F(connection_rig, ready_late_is_waited_for_and_ready_never_is_given_up_and_tried_again)
{
    discord->set_ready_delay(1000);
    start();
    EXPECT_EQ(last_activity(), idle_activity());
    quit();
    host.reset();

    new_discord();
    discord->set_ready_delay(-1);
    load();
    const DWORD begin = GetTickCount();
    ASSERT_EQ(host->init_plugin(), 0);
    started = true;
    EXPECT_LT(GetTickCount() - begin, 200u) << "the main thread does not wait for Discord";
    EXPECT_TRUE(pump_until([&] { return discord->connections() == 2; }, 12000))
        << "given up, then tried again";
    EXPECT_GE(GetTickCount() - begin, 5000u) << "no hurry after a Discord that does not answer";
    discord->set_ready_delay(0);
    // The second connection may still have been given no READY: the third
    // follows after a longer wait.
    EXPECT_TRUE(pump_until([&] { return published() == 1; }, 25000));
    EXPECT_EQ(last_activity(), idle_activity());
}

TEST_F(connection_rig, a_refused_update_goes_out_once_more_without_the_newer_fields_then_only_when_it_changes)
{
    start_with_blue_and_its_cover();
    const int shown = published();
    const discord_activity with_links = last_activity();
    ASSERT_FALSE(with_links.large_url.empty());
    ASSERT_FALSE(with_links.details_url.empty());
    discord->refuse_next_updates(2, 4000, "child \"activity\" fails");
    host->pause();
    await_published(shown + 2);
    const auto updates = discord->updates();
    const discord_activity stopped = updates[shown].activity;
    EXPECT_TRUE(updates[shown].refused);
    EXPECT_EQ(stopped.state, "Blue (Stopped)");
    EXPECT_EQ(stopped.large_url, with_links.large_url);
    EXPECT_EQ(updates[shown + 1].activity, without_newer_fields(stopped)) << "sent once more, without them";
    EXPECT_TRUE(updates[shown + 1].refused);
    host->pump(2000);
    EXPECT_EQ(published(), shown + 2) << "a refused second attempt waits for the next change";
    EXPECT_EQ(discord->showing(), std::optional(with_links)) << "both dropped whole: the card before stays";

    host->resume();
    discord_activity playing = next_activity(shown + 2);
    EXPECT_EQ(playing.state, "Blue (Playing)");
    EXPECT_EQ(playing, without_newer_fields(playing)) << "the newer fields stay off for the connection";
    EXPECT_EQ(discord->showing(), std::optional(playing));

    discord->go_away();
    host->pump(300);
    discord->come_back();
    EXPECT_TRUE(pump_until([&] { return shown_on(2, "Blue (Playing)"); }, reconnect_bound_ms + 21000));
    EXPECT_EQ(last_activity().details_url, with_links.details_url) << "a new connection: every field again";
    EXPECT_EQ(last_activity().large_url, with_links.large_url);
}

// A Discord from before 2025 refuses the fields added since: the card goes
// without them, at once after the first refusal and from then on.
TEST_F(connection_rig, an_old_discord_that_refuses_the_newer_fields_shows_the_card_without_them)
{
    discord->refuse_newer_fields(true);
    load();
    start_with_blue_playing();
    EXPECT_TRUE(pump_until([&] {
        const auto showing = discord->showing();
        return showing && !showing->large_image.empty() && showing->large_image != "winamp-logo";
    })) << "Discord never showed the cover";
    const discord_activity card = *discord->showing();
    EXPECT_EQ(card.state, "Blue (Playing)");
    EXPECT_EQ(card.details, "The Band - First Album");
    EXPECT_EQ(card, without_newer_fields(card));
    const auto updates = discord->updates();
    EXPECT_EQ(std::count_if(updates.begin(), updates.end(),
                            [](const received_frame &update) { return update.refused; }),
              1)
        << "one refusal, then the card without the newer fields";

    const int before = published();
    play_track(L"C:\\Music\\green.mp3", L"Green");
    EXPECT_EQ(next_activity(before).state, "Green (Playing)");
    EXPECT_FALSE(discord->updates().back().refused) << "the next card goes without them at once";
}

TEST_F(connection_rig, a_ping_is_answered_with_a_pong_carrying_its_payload)
{
    start();
    discord->send_ping(R"({"nonce":"p1"})");
    EXPECT_TRUE(pump_until([&] { return discord->pongs() == 1; }, 5000));
    discord->send_ping("");
    EXPECT_TRUE(pump_until([&] { return discord->pongs() == 2; }, 5000));
    EXPECT_EQ(discord->connections(), 1);
}

// A peer flooding the pipe with PINGs while it reads nothing: the PONGs
// cannot pile up in the player, only the newest waits.
TEST_F(connection_rig, a_flood_of_pings_from_a_peer_that_reads_nothing_leaves_the_players_memory_flat)
{
    start();
    const SIZE_T before = private_bytes();
    SIZE_T peak = before;
    discord->flood_pings();
    // The flood lasts until the player gives the connection up.
    EXPECT_TRUE(pump_until(
        [&] {
            peak = std::max(peak, private_bytes());
            return discord->connections() == 2;
        },
        15000));
    EXPECT_GE(discord->pings(), 20) << "the flood reached the player";
    EXPECT_LE(peak, before + 4 * 1024 * 1024) << "grew by " << (peak - before) / 1024 << " KiB";
}

struct occupier_case {
    const char *what;
    bool silent; // the instance on discord-ipc-0 answers nothing instead of closing at once
};

class first_pipe_taken : public connection_rig, public testing::WithParamInterface<occupier_case> {};

// The peer on discord-ipc-0 is tried once: the next attempt, at once or after
// the handshake's time-out and a wait, starts at discord-ipc-1.
TEST_P(first_pipe_taken, by_a_peer_leads_to_discord_on_the_next_pipe_within_one_retry)
{
    discord->occupy_first_pipe(GetParam().silent);
    host = std::make_unique<sim_host>();
    host->pump(100);
    ASSERT_TRUE(host->load_plugin());
    start_with_blue_playing();
    EXPECT_EQ(last_activity().state, "Blue (Playing)");
    EXPECT_EQ(discord->first_pipe_connections(), 1);
    EXPECT_EQ(discord->connections(), 1);
}

INSTANTIATE_TEST_SUITE_P(connection, first_pipe_taken,
                         testing::Values(occupier_case{"closing at once", false},
                                         occupier_case{"never answering", true}),
                         [](const auto &info) { return readable_test_name(info.param.what); });

// Discord refusing the handshake is asked again after 5 s, then after 10 s;
// a connection that got READY starts the waits again from 5 s.
TEST_F(connection_rig, refused_handshakes_are_retried_ever_later_until_ready_resets_the_wait)
{
    discord->refuse_handshakes(2, 4000, "Invalid Client ID");
    start();
    discord->send_close(4000, "Invalid Client ID");
    const DWORD closed = GetTickCount();
    EXPECT_TRUE(pump_until([&] { return discord->connections() == 4 && discord->connected(); }, 15000));
    const std::vector<DWORD> times = discord->connection_times();
    ASSERT_EQ(times.size(), 4u);
    EXPECT_GE(times[1] - times[0], 5000u);
    EXPECT_GE(times[2] - times[1], 10000u);
    EXPECT_GE(times[3] - closed, 5000u);
    EXPECT_LT(times[3] - closed, 10000u) << "READY started the waits afresh";
}

// A Discord that starts slowly: it refuses the first handshake, its pipe is
// gone for a moment, and once it is up it refuses once more before it takes
// the player. The attempt that found no pipe started the waits afresh: the
// last refusal is followed by the usual 5 s, not by a longer wait.
TEST_F(connection_rig, an_attempt_that_finds_no_pipe_starts_the_waits_afresh)
{
    discord->refuse_handshakes(1, 4000, "Invalid Client ID");
    load();
    ASSERT_EQ(host->init_plugin(), 0);
    started = true;
    ASSERT_TRUE(pump_until([&] { return discord->connections() == 1; }, 5000));
    discord->go_away();
    host->pump(7000); // the attempt 5 s after the refusal finds no pipe
    discord->refuse_handshakes(1, 4000, "Invalid Client ID");
    discord->come_back();
    EXPECT_TRUE(pump_until([&] { return discord->connections() == 3 && discord->connected(); }, 20000));
    const std::vector<DWORD> times = discord->connection_times();
    ASSERT_EQ(times.size(), 3u);
    EXPECT_GE(times[1] - times[0], 10000u) << "5 s to the attempt without a pipe, 5 s to the next";
    EXPECT_GE(times[2] - times[1], 5000u);
    EXPECT_LT(times[2] - times[1], 10000u) << "the waits started afresh";
    await_published(1);
    EXPECT_EQ(last_activity(), idle_activity());
}

struct breakage_case {
    const char *what;
    std::string bytes; // what Discord sends on the open connection
};

class broken_connections : public connection_rig, public testing::WithParamInterface<breakage_case> {};

// Every one ends the connection cleanly; the plug-in tries again and shows
// the current track on the next connection.
TEST_P(broken_connections, end_the_connection_and_the_next_one_shows_the_current_track)
{
    load();
    start_with_blue_playing();
    testing::internal::CaptureStderr();
    if (GetParam().bytes == "close") {
        discord->send_close(4000, "Invalid Client ID");
    } else {
        discord->send_raw(GetParam().bytes);
    }
    EXPECT_TRUE(pump_until([&] { return discord->connections() == 2 && discord->connected(); }, 12000));
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(pump_until([&] { return shown_on(2, "Blue (Playing)"); }, 3000));
}

INSTANTIATE_TEST_SUITE_P(
    frames, broken_connections,
    testing::Values(breakage_case{"unknown opcode", fake_discord_frame(9, "{}")},
                    breakage_case{"length beyond 64 KiB", "\x01\x00\x00\x00\x01\x00\x01\x00"s + "{}"},
                    breakage_case{"payload that is no JSON", fake_discord_frame(1, "{\"cmd\":")},
                    breakage_case{"garbage", "GET / HTTP/1.1\r\nHost: discord\r\n\r\n"},
                    breakage_case{"CLOSE", "close"}),
    [](const auto &info) { return readable_test_name(info.param.what); });

struct quit_case {
    const char *what;
    bool ready;   // Discord answers the handshake
    bool reading; // Discord reads what the plug-in writes
    bool cleared; // the activity is cleared before the pipe closes
};

class quitting : public connection_rig, public testing::WithParamInterface<quit_case> {};

// Quit returns within the bound; the host then unloads the DLL at once and
// keeps running its message loop: nothing of the plug-in runs any more.
TEST_P(quitting, returns_within_half_a_second_and_nothing_runs_after)
{
    if (!GetParam().ready) {
        discord->set_ready_delay(-1);
    }
    load();
    ASSERT_EQ(host->init_plugin(), 0);
    started = true;
    if (GetParam().ready) {
        await_published(1);
    }
    discord->set_reading(GetParam().reading);
    // Long lines, so that a Discord that reads nothing soon has its pipe full.
    for (int i = 1; i <= 3 && !GetParam().reading; ++i) {
        play_track(L"C:\\Music\\" + std::to_wstring(i) + L".mp3",
                   L"A title long enough to fill the pipe of a Discord that reads nothing " +
                       std::to_wstring(i));
    }
    host->pump(300);
    const DWORD quitting = GetTickCount();
    quit();
    EXPECT_LT(GetTickCount() - quitting, quit_bound_ms);
    host->unload_plugin();
    EXPECT_TRUE(pump_until([] { return GetModuleHandleW(L"gen_DiscordCorvane.dll") == nullptr; }, 5000));
    host->pump(500);
    discord->set_reading(true);
    if (GetParam().cleared) {
        EXPECT_TRUE(pump_until([&] { return discord->updates().back().clear; }, 2000));
    }
    EXPECT_TRUE(pump_until([&] { return !discord->connected(); }, 2000)) << "the pipe is closed";
    if (!GetParam().reading) {
        EXPECT_LT(published(), 4) << "Discord's pipe was full when quit came";
    }
}

INSTANTIATE_TEST_SUITE_P(connection, quitting,
                         testing::Values(quit_case{"connected", true, true, true},
                                         quit_case{"while Discord reads nothing", true, false, false},
                                         quit_case{"while handshaking", false, true, false}),
                         [](const auto &info) { return readable_test_name(info.param.what); });

TEST_F(connection_rig, quit_while_waiting_for_discord_stops_looking_for_it)
{
    discord->go_away();
    load();
    ASSERT_EQ(host->init_plugin(), 0);
    quit();
    EXPECT_EQ(host->current_procedure(), host->own_procedure());
    discord->come_back();
    host->pump(5500);
    EXPECT_EQ(discord->connections(), 0);
}

// Discord shows the last track; no window of 20 s holds more than 5 updates.
TEST_F(connection_rig, twenty_track_changes_in_two_seconds_keep_to_the_rate_and_end_with_the_last_track)
{
    start();
    for (int i = 1; i <= 20; ++i) {
        play_track(L"C:\\Music\\" + std::to_wstring(i) + L".mp3", L"Track " + std::to_wstring(i));
        host->pump(100);
    }
    EXPECT_TRUE(pump_until([&] { return shown_on(1, "Track 20 (Playing)"); }, 30000));
    host->pump(1000);
    const auto updates = discord->updates();
    EXPECT_EQ(updates.back().activity.state, "Track 20 (Playing)");
    for (size_t i = 0; i + fake_discord_window_updates < updates.size(); ++i) {
        EXPECT_GE(updates[i + fake_discord_window_updates].arrival_ms - updates[i].arrival_ms,
                  fake_discord_window_ms);
    }
    EXPECT_LE(updates.size(), 11u);
}

// "path=value" for every leaf of a JSON object, nested objects as paths.
void flatten(const json_node *node, const std::string &path, std::map<std::string, std::string> &leaves)
{
    for (const json_node *child = node->first; child != nullptr; child = child->next) {
        const std::string name = path + "/" + child->key;
        switch (child->kind) {
        case JSON_OBJECT:
            leaves[name] = "{}";
            flatten(child, name, leaves);
            break;
        case JSON_STRING:
            leaves[name] = std::string("\"") + child->string + "\"";
            break;
        case JSON_INTEGER:
            leaves[name] = std::to_string(child->integer);
            break;
        case JSON_BOOL:
            leaves[name] = child->integer ? "true" : "false";
            break;
        default:
            leaves[name] = "null";
        }
    }
}

std::map<std::string, std::string> leaves_of(std::string json)
{
    std::map<std::string, std::string> leaves;
    json_node *root = json_parse(json.data());
    EXPECT_NE(root, nullptr) << json;
    if (root != nullptr) {
        flatten(root, "", leaves);
    }
    json_free(root);
    return leaves;
}

// What the Game SDK 2.5.6 sent for "Blue" playing, minus what a presence
// does not need (party, secrets, instance) and what differs by nature
// (nonce, process id, start time).
std::map<std::string, std::string> sdk_frame_leaves()
{
    auto leaves = leaves_of(
        R"j({"cmd":"SET_ACTIVITY","nonce":"9","evt":null,"args":{"pid":228,"activity":{"state":"Blue (Playing)",)j"
        R"j("details":"The Band - First Album","timestamps":{"start":1700000001},"assets":{"large_image":"winamp-logo"},)j"
        R"j("party":{},"secrets":{},"instance":false}}})j");
    for (const char *unneeded :
         {"/evt", "/args/activity/party", "/args/activity/secrets", "/args/activity/instance", "/nonce",
          "/args/pid", "/args/activity/timestamps/start"}) {
        leaves.erase(unneeded);
    }
    return leaves;
}

TEST_F(connection_rig, the_frame_of_a_track_has_the_members_and_values_of_the_game_sdks_frame)
{
    catalogue_respond(R"({"status":200,"body":"{\"data\":[],\"total\":0}"})");
    load();
    start_with_blue_playing();
    finish_lookups();
    const received_frame blue = discord->updates()[0];
    auto leaves = leaves_of(blue.json);
    EXPECT_EQ(leaves["/nonce"], "\"" + blue.nonce + "\"");
    EXPECT_EQ(leaves["/args/pid"], std::to_string(GetCurrentProcessId()));
    EXPECT_NEAR(std::stod(leaves["/args/activity/timestamps/start"]), static_cast<double>(time(nullptr)),
                3.0);
    // The one member the SDK could not send: music is listened to, not played.
    EXPECT_EQ(leaves["/args/activity/type"], "2");
    for (const char *varying :
         {"/nonce", "/args/pid", "/args/activity/timestamps/start", "/args/activity/type"}) {
        leaves.erase(varying);
    }
    EXPECT_EQ(leaves, sdk_frame_leaves());
}

// A discord_game_sdk.dll of an earlier install beside the plug-in, and one in
// the folder Winamp was started from, are neither loaded nor looked at.
TEST_F(connection_rig,
       a_stray_discord_game_sdk_dll_beside_the_plugin_or_in_the_current_folder_changes_nothing)
{
    const std::wstring root = fresh_test_folder();
    const std::wstring plugins = root + L"\\Plugins", downloads = root + L"\\Downloads";
    CreateDirectoryW(plugins.c_str(), nullptr);
    CreateDirectoryW(downloads.c_str(), nullptr);
    wchar_t bin[MAX_PATH];
    GetModuleFileNameW(nullptr, bin, MAX_PATH);
    std::wstring dll = bin;
    dll = dll.substr(0, dll.find_last_of(L'\\')) + L"\\gen_DiscordCorvane.dll";
    ASSERT_TRUE(CopyFileW(dll.c_str(), (plugins + L"\\gen_DiscordCorvane.dll").c_str(), FALSE));
    for (const std::wstring &folder : {plugins, downloads}) {
        write_file(folder + L"\\discord_game_sdk.dll", "MZ, but garbage");
    }
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(downloads.c_str());

    host = std::make_unique<sim_host>();
    ASSERT_TRUE(host->load_plugin((plugins + L"\\gen_DiscordCorvane.dll").c_str()));
    start_with_blue_playing();
    EXPECT_EQ(last_activity().state, "Blue (Playing)");
    EXPECT_EQ(GetModuleHandleW(L"discord_game_sdk.dll"), nullptr);
    quit();
    host.reset();
    SetCurrentDirectoryW(previous);
    remove_tree(root);
}

} // namespace
