// The album cover lookup of the shipped plug-in against the stub catalogue
// over real TLS: the activity published at once and again with the cover, the
// request on the wire, the connection kept between lookups, what is
// remembered, every way a reply can fail, and a service that stalls.
#include "rig.h"

namespace {

const wchar_t track_file[] = L"C:\\Music\\track.mp3";
const char cover_prefix[] = "https://e-cdns-images.dzcdn.net/images/cover/";

class cover_rig : public plugin_rig {
  protected:
    // Starts stopped; each play then publishes a track and looks up its cover.
    void SetUp() override
    {
        plugin_rig::SetUp();
        start();
    }

    // Plays a track with these tags; returns the large image of the update
    // that follows at once.
    std::string play_now(const std::wstring &artist, const std::wstring &album = L"First Album",
                         const wchar_t *file = track_file)
    {
        host->library[file] = tagged_track(L"Blue", artist, album);
        const int before = published();
        host->play(file);
        await_published(before + 1);
        return discord->updates()[before].activity.large_image;
    }

    // Plays a track and waits for its cover; returns the image shown last.
    std::string play(const std::wstring &artist, const std::wstring &album = L"First Album")
    {
        const int before = published();
        play_now(artist, album);
        return await_cover(before).large_image;
    }

    // Plays a track whose cover is not known, waits until its lookup has ended,
    // and plays it again: returns the image that second play is published with
    // at once, which is what the lookup left in the cache.
    std::string image_learned(const std::wstring &artist)
    {
        const size_t requests = catalogue_requests().size();
        EXPECT_EQ(play_now(artist), "winamp-logo") << "published at once, before the lookup";
        await_requests(requests + 1);
        finish_lookups();
        return play_now(artist);
    }

    // Runs the message loop until the catalogue has seen a connection or a
    // request more than `before` of them (a stall holds one or the other).
    void await_contact(size_t before)
    {
        EXPECT_TRUE(pump_until([&] { return contacts() > before; })) << "the catalogue saw nothing";
    }

    static size_t contacts() { return catalogue_requests().size() + catalogue_connections(); }
};

// Time the host's main thread spends in one notification, in milliseconds.
template <typename Notify> DWORD time_on_main_thread(Notify notify)
{
    const DWORD begin = GetTickCount();
    notify();
    return GetTickCount() - begin;
}

// Bound for one notification on the main thread: far below any network wait
// here (time-outs of seconds, stalls of 20 s), so only waiting for one fails it.
constexpr DWORD no_network_wait_ms = 1000;

TEST_F(cover_rig, a_track_is_published_at_once_with_the_logo_then_again_with_its_cover)
{
    const int before = published();
    EXPECT_EQ(play_now(L"The Band"), "winamp-logo");
    const discord_activity at_once = discord->updates()[before].activity;
    const discord_activity with_cover = await_cover(before + 1);
    settle();
    EXPECT_EQ(published(), before + 2);
    EXPECT_EQ(with_cover.large_image.rfind(cover_prefix, 0), 0u) << with_cover.large_image;
    discord_activity expected = at_once;
    expected.large_image = with_cover.large_image;
    expected.large_text = "First Album";
    expected.large_url = "https://www.deezer.com/album/302127";
    EXPECT_EQ(with_cover, expected) << "only the cover, with its album and its page, differs";
    EXPECT_EQ(with_cover.state, "Blue (Playing)");
    EXPECT_EQ(with_cover.details, "The Band - First Album");
}

TEST_F(cover_rig, pause_resume_and_another_track_of_the_album_show_the_cover_without_a_request)
{
    const std::string cover = play(L"The Band");
    host->library[L"C:\\Music\\red.mp3"] = tagged_track(L"Red", L"The Band", L"First Album");
    const struct {
        void (*act)(sim_host &host);
        const char *state;
    } steps[] = {
        {[](sim_host &host) { host.pause(); }, "Blue (Stopped)"},
        {[](sim_host &host) { host.resume(); }, "Blue (Playing)"},
        {[](sim_host &host) { host.play(L"C:\\Music\\red.mp3"); }, "Red (Playing)"},
    };
    for (const auto &step : steps) {
        const int before = published();
        step.act(*host);
        // The third update in a row waits for Discord's rate window.
        const discord_activity activity = next_activity(before);
        EXPECT_EQ(activity.state, step.state);
        EXPECT_EQ(activity.large_image, cover) << "from the cache";
    }
    finish_lookups();
    EXPECT_EQ(catalogue_requests().size(), 1u);
}

TEST_F(cover_rig, a_cover_for_a_track_the_user_has_left_only_fills_the_cache)
{
    catalogue_respond(R"({"delay":1})");
    EXPECT_EQ(play_now(L"The Band"), "winamp-logo");
    await_requests(1);
    const int playing = published();
    host->stop();
    await_published(playing + 1);
    finish_lookups();
    await_published(playing + 2);
    // The next activity after the idle one is the barrier's own, at once.
    const auto updates = discord->updates();
    EXPECT_EQ(updates[playing].activity.state, "(Idle)");
    EXPECT_EQ(updates[playing + 1].activity.state, "Barrier (Playing)");
    EXPECT_EQ(updates[playing + 1].activity.large_image, "winamp-logo");

    EXPECT_EQ(play_now(L"The Band").rfind(cover_prefix, 0), 0u) << "from the cache";
    finish_lookups();
    EXPECT_EQ(catalogue_requests().size(), 1u);
}

struct path_case {
    const char *what;
    std::wstring artist;
    std::wstring album;
    const char *path;
};

class request_paths : public cover_rig, public testing::WithParamInterface<path_case> {};

TEST_P(request_paths, reach_the_service_encoded_exactly_once)
{
    play_now(GetParam().artist, GetParam().album);
    await_requests(1);
    finish_lookups();
    const auto requests = catalogue_requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    cover, request_paths,
    testing::Values(
        path_case{"plain", L"The Band", L"First Album",
                  "/search/track?strict=on&q=artist:%22The%20Band%22%20album:%22First%20Album%22&limit=1"},
        path_case{"no album", L"The Band", L"", "/search/track?strict=on&q=artist:%22The%20Band%22&limit=1"},
        path_case{
            "ampersand and plus", L"Simon & Garfunkel", L"A+B",
            "/search/track?strict=on&q=artist:%22Simon%20%26%20Garfunkel%22%20album:%22A%2BB%22&limit=1"},
        path_case{"hash and percent", L"#1 100%", L"x",
                  "/search/track?strict=on&q=artist:%22%231%20100%25%22%20album:%22x%22&limit=1"},
        path_case{"double quote", L"Say \"Hi\"", L"",
                  "/search/track?strict=on&q=artist:%22Say%20%20Hi%20%22&limit=1"},
        path_case{"beyond ASCII", L"Fr\u00e9d\u00e9ric", L"\u65e5\U0001F3B5",
                  "/search/track?strict=on&q=artist:%22Fr%C3%A9d%C3%A9ric%22"
                  "%20album:%22%E6%97%A5%F0%9F%8E%B5%22&limit=1"}),
    [](const auto &info) { return readable_test_name(info.param.what); });

TEST_F(cover_rig, lookups_share_one_tls_connection_and_send_no_user_agent)
{
    const std::string first = play(L"The Band");
    const std::string second = play(L"Other Band");
    EXPECT_EQ(first.rfind(cover_prefix, 0), 0u) << first;
    EXPECT_NE(first, second);
    const auto requests = catalogue_requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].connection, requests[1].connection);
    // Wine may carry the connection over from an earlier session of the process.
    EXPECT_LE(catalogue_connections(), 1);
    for (const auto &request : requests) {
        EXPECT_FALSE(request.has_header("User-Agent"));
        EXPECT_EQ(request.header("Host"), "api.deezer.com");
    }
}

struct reply_case {
    const char *what;
    std::string response; // the stub's scripted answer
    std::string image;
    bool asked_again;  // a failure: the next play looks it up again
    bool quiet = true; // nothing on stderr: the body that arrived was JSON
};

const std::string cover_126 = cover_prefix + std::string(126 - 45 - 4, 'a') + ".jpg";
const std::string cover_127 = cover_126.substr(0, 45) + "a" + cover_126.substr(45);

std::string reply_with_cover(const std::string &url)
{
    return R"({"data":[{"album":{"cover_medium":)" + json_quote(url) + "}}]}";
}

std::string scripted(int status, const std::string &body, const std::string &extra = "")
{
    std::string script = "{\"status\":";
    script += std::to_string(status);
    script += ",\"body\":" + json_quote(body) + extra + "}";
    return script;
}

class replies : public cover_rig, public testing::WithParamInterface<reply_case> {};

TEST_P(replies, give_the_cover_or_the_plugins_own_art_and_only_answers_are_remembered)
{
    catalogue_respond(GetParam().response);
    testing::internal::CaptureStderr();
    const std::string image = image_learned(L"The Band");
    const std::string error_output = testing::internal::GetCapturedStderr();
    EXPECT_EQ(image, GetParam().image) << GetParam().what;
    if (GetParam().quiet) {
        EXPECT_EQ(error_output, "") << GetParam().what;
    }
    if (GetParam().asked_again) {
        await_requests(2);
    } else {
        finish_lookups();
        EXPECT_EQ(catalogue_requests().size(), 1u) << GetParam().what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    cover, replies,
    testing::Values(
        reply_case{"cover of 126 bytes", scripted(200, reply_with_cover(cover_126)), cover_126, false},
        reply_case{"cover of 127 bytes is never cut", scripted(200, reply_with_cover(cover_127)),
                   "winamp-logo", false},
        reply_case{"error status with data", scripted(500, reply_with_cover("https://c/x.jpg")),
                   "https://c/x.jpg", false},
        reply_case{"error status without data", scripted(404, R"({"error":{"code":800}})"), "winamp-logo",
                   true},
        reply_case{"no match", scripted(200, R"({"data":[],"total":0})"), "winamp-logo", false},
        reply_case{"no match, error status", scripted(503, R"({"data":[],"total":0})"), "winamp-logo", true},
        reply_case{"first result without album",
                   scripted(200, R"({"data":[{"id":1},{"album":{"cover_medium":"m"}}]})"), "winamp-logo",
                   false},
        reply_case{
            "empty image id, then xl",
            scripted(
                200,
                R"({"data":[{"album":{"cover_medium":"https://e-cdns-images.dzcdn.net/images/cover//250x250.jpg","cover_xl":"https://c/xl.jpg"}}]})"),
            "https://c/xl.jpg", false},
        reply_case{"empty body", scripted(200, ""), "winamp-logo", true},
        reply_case{"connection dropped without an answer", R"({"drop":true})", "winamp-logo", true},
        reply_case{"connection closed mid-body",
                   scripted(200, reply_with_cover("https://c/x.jpg"), ",\"close_mid_body\":true"),
                   "winamp-logo", true, false},
        reply_case{"body over 1 MiB",
                   scripted(200, reply_with_cover("https://c/x.jpg") + std::string(1 << 20, ' ')),
                   "winamp-logo", true}),
    [](const auto &info) { return "case_" + std::to_string(info.index); });

TEST_F(cover_rig, a_body_that_is_not_json_prints_one_parse_line)
{
    catalogue_respond(scripted(502, "<html>Bad gateway</html>"));
    testing::internal::CaptureStderr();
    EXPECT_EQ(play_now(L"The Band"), "winamp-logo");
    await_requests(1);
    finish_lookups();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "JSON PARSE ERROR (366): unexpected chars at <html>Bad gateway</html>\n");
}

// A service that accepts and then never answers, or answers too late, costs
// the player nothing: the lookup gives up on its own, and is tried again.
TEST_F(cover_rig, a_stalled_service_gives_the_player_back_within_seconds)
{
    const struct {
        const char *response;
        const wchar_t *artist;
    } stalls[] = {{R"({"stall":true})", L"Stalled Band"}, {R"({"delay":8})", L"Late Band"}};
    for (const auto &stall : stalls) {
        SCOPED_TRACE(stall.response);
        catalogue_respond(stall.response);
        const size_t before = contacts();
        host->library[track_file] = tagged_track(L"Blue", stall.artist, L"First Album");
        EXPECT_LT(time_on_main_thread([&] { host->play(track_file); }), no_network_wait_ms);
        await_contact(before);
        catalogue_reset(); // the stall ends for every later connection and request
        finish_lookups();
        const size_t requests = catalogue_requests().size();
        host->play(track_file);
        await_requests(requests + 1); // a failure is not remembered
    }
    for (const received_frame &update : discord->updates()) {
        if (update.activity.details.find("Band") != std::string::npos) {
            EXPECT_EQ(update.activity.large_image, "winamp-logo") << update.activity.details;
        }
    }
}

TEST_F(cover_rig, while_a_lookup_stalls_only_the_newest_track_waits_and_then_gets_its_cover)
{
    catalogue_respond(R"({"stall":true})");
    const size_t before = contacts();
    play_now(L"First Band");
    await_contact(before);
    for (const wchar_t *artist : {L"Second Band", L"Third Band"}) {
        host->library[track_file] = tagged_track(L"Blue", artist, L"First Album");
        const int published_before = published();
        EXPECT_LT(time_on_main_thread([&] { host->play(track_file); }), no_network_wait_ms);
        EXPECT_EQ(next_activity(published_before).large_image, "winamp-logo");
    }
    catalogue_reset(); // the stall ends for every later connection
    const discord_activity activity = await_cover(published());
    EXPECT_EQ(activity.details, "Third Band - First Album");
    const auto requests = catalogue_requests();
    ASSERT_EQ(requests.size(), 1u) << "the second track's lookup was dropped from the queue";
    EXPECT_NE(requests[0].path.find("Third%20Band"), std::string::npos) << requests[0].path;
}

// Asks a trickle of one byte every half second: no phase of the exchange
// times out, and only the deadline of the whole lookup ends it.
TEST_F(cover_rig, a_trickling_reply_is_given_up_at_the_lookups_deadline)
{
    catalogue_respond(R"({"trickle":0.5})");
    EXPECT_EQ(play_now(L"The Band"), "winamp-logo");
    await_requests(1);
    const DWORD begin = GetTickCount();
    finish_lookups();
    EXPECT_GE(GetTickCount() - begin, 5000u) << "the reply was being trickled";
    for (const received_frame &update : discord->updates()) {
        if (update.activity.details == "The Band - First Album") {
            EXPECT_EQ(update.activity.large_image, "winamp-logo");
        }
    }
}

TEST_F(plugin_rig, quit_during_a_stalled_lookup_returns_at_once_and_the_dll_unloads_cleanly)
{
    start();
    catalogue_respond(R"({"stall":true})");
    const size_t before = catalogue_requests().size() + catalogue_connections();
    host->library[track_file] = tagged_track(L"Blue", L"The Band", L"First Album");
    host->play(track_file);
    ASSERT_TRUE(pump_until([&] { return catalogue_requests().size() + catalogue_connections() > before; }));

    const DWORD quitting = GetTickCount();
    quit();
    EXPECT_LT(GetTickCount() - quitting, 1500u);
    host->unload_plugin();
    // Under Wine the blocked call runs to its time-out; the worker then
    // unloads the DLL through its own reference.
    EXPECT_TRUE(pump_until([] { return GetModuleHandleW(L"gen_DiscordCorvane.dll") == nullptr; }));
    host->pump(2000);
    catalogue_reset();
}

// Wine keeps the connections of a process in a pool across sessions, so a
// stall during the TLS handshake needs a process whose first lookup it is.
TEST_F(plugin_rig, DISABLED_in_a_fresh_process_a_stalled_handshake_gives_the_player_back_within_seconds)
{
    start();
    catalogue_respond(R"({"stall":true})");
    host->library[track_file] = tagged_track(L"Blue", L"The Band", L"First Album");
    EXPECT_LT(time_on_main_thread([&] { host->play(track_file); }), no_network_wait_ms);
    EXPECT_EQ(next_activity(1).large_image, "winamp-logo");
    ASSERT_TRUE(pump_until([] { return catalogue_connections() == 1; }));
    EXPECT_EQ(catalogue_requests().size(), 0u);
    // The handshake times out; the next track's cover comes through once the stall is over.
    catalogue_respond("{}");
    host->library[track_file] = tagged_track(L"Red", L"Other Band", L"Second Album");
    const int before = published();
    host->play(track_file);
    EXPECT_EQ(await_cover(before).details, "Other Band - Second Album");
    // The second connection's handshake, with TLS 1.2 at least (Wine offers no 1.3).
    const auto versions = catalogue_tls_versions();
    ASSERT_EQ(versions.size(), 1u);
    EXPECT_TRUE(versions[0] == "TLSv1.2" || versions[0] == "TLSv1.3") << versions[0];
}

TEST(cover_handshake, a_stalled_handshake_gives_the_player_back_within_seconds)
{
    std::string output;
    const DWORD code = run_child("plugin_tests.exe --gtest_also_run_disabled_tests "
                                 "--gtest_filter=plugin_rig.DISABLED_in_a_fresh_process_*",
                                 output);
    catalogue_reset();
    EXPECT_EQ(code, 0u) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}

TEST_F(cover_rig, two_thousand_lookups_leave_handles_and_memory_flat)
{
    auto handles = [] {
        DWORD count = 0;
        GetProcessHandleCount(GetCurrentProcess(), &count);
        return count;
    };
    // Discord's rate lets only some of the covers through: each lookup is
    // awaited at the catalogue instead.
    auto look_up = [&](const std::wstring &artist) {
        const size_t before = catalogue_request_count();
        host->library[track_file] = tagged_track(L"Blue", artist, L"First Album");
        host->play(track_file);
        return pump_until([&] { return catalogue_request_count() > before; }, 10000);
    };
    for (int i = 0; i < 100; ++i) {
        look_up(L"Warm Up " + std::to_wstring(i));
    }
    const DWORD handles_before = handles();
    const SIZE_T memory_before = private_bytes();
    for (int i = 0; i < 2000; ++i) {
        ASSERT_TRUE(look_up(L"Artist " + std::to_wstring(i)));
    }
    finish_lookups();
    EXPECT_LE(handles(), handles_before + 4);
    EXPECT_LE(private_bytes(), memory_before + 2 * 1024 * 1024);
}

} // namespace
