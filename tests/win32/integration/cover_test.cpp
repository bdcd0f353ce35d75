// The album cover lookup of the shipped plug-in against the stub catalogue
// over real TLS: the request on the wire, the connection kept between
// lookups, every way a reply can fail, and a service that never answers.
#include "rig.h"

#include <psapi.h>

namespace {

const wchar_t track_file[] = L"C:\\Music\\track.mp3";

class cover_rig : public plugin_rig {
  protected:
    // Starts stopped; play() then publishes the track and looks up its cover.
    void SetUp() override
    {
        plugin_rig::SetUp();
        start();
    }

    // Plays a track with these tags and returns the large image published for it.
    std::string play(const std::wstring &artist, const std::wstring &album = L"First Album")
    {
        host->library[track_file] = tagged_track(L"Blue", artist, album);
        host->play(track_file);
        return last_activity().assets.large_image;
    }
};

struct path_case {
    const char *what;
    std::wstring artist;
    std::wstring album;
    const char *path;
};

class request_paths : public cover_rig, public testing::WithParamInterface<path_case> {};

TEST_P(request_paths, reach_the_service_encoded_exactly_once)
{
    play(GetParam().artist, GetParam().album);
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
        path_case{
            "beyond ASCII", L"Fr\u00e9d\u00e9ric", L"\u65e5\U0001F3B5",
            "/search/"
            "track?strict=on&q=artist:%22Fr%C3%A9d%C3%A9ric%22%20album:%22%E6%97%A5%F0%9F%8E%B5%22&limit=1"}),
    [](const auto &info) { return readable_test_name(info.param.what); });

TEST_F(cover_rig, lookups_share_one_tls_connection_and_send_no_user_agent)
{
    const std::string first = play(L"The Band");
    const std::string second = play(L"Other Band");
    EXPECT_EQ(first.rfind("https://e-cdns-images.dzcdn.net/images/cover/", 0), 0u) << first;
    EXPECT_NE(first, second);
    const auto requests = catalogue_requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(catalogue_connections(), 1);
    for (const auto &request : requests) {
        EXPECT_FALSE(request.has_header("User-Agent"));
        EXPECT_EQ(request.header("Host"), "api.deezer.com");
    }
}

struct reply_case {
    const char *what;
    std::string response; // the stub's scripted answer
    std::string image;
    bool quiet = true; // nothing on stderr: the body that arrived was JSON
};

const std::string cover_126 =
    "https://e-cdns-images.dzcdn.net/images/cover/" + std::string(126 - 45 - 4, 'a') + ".jpg";
const std::string cover_127 = cover_126.substr(0, 45) + "a" + cover_126.substr(45);

std::string reply_with_cover(const std::string &url)
{
    return R"({"data":[{"album":{"cover_medium":)" + json_quote(url) + "}}]}";
}

std::string scripted(int status, const std::string &body, const std::string &extra = "")
{
    return "{\"status\":" + std::to_string(status) + ",\"body\":" + json_quote(body) + extra + "}";
}

class replies : public cover_rig, public testing::WithParamInterface<reply_case> {};

TEST_P(replies, give_the_cover_or_the_plugins_own_art)
{
    catalogue_respond(GetParam().response);
    testing::internal::CaptureStderr();
    const std::string image = play(L"The Band");
    const std::string error_output = testing::internal::GetCapturedStderr();
    EXPECT_EQ(image, GetParam().image) << GetParam().what;
    if (GetParam().quiet) {
        EXPECT_EQ(error_output, "") << GetParam().what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    cover, replies,
    testing::Values(
        reply_case{"cover of 126 bytes", scripted(200, reply_with_cover(cover_126)), cover_126},
        reply_case{"cover of 127 bytes is never cut", scripted(200, reply_with_cover(cover_127)),
                   "winamp-logo"},
        reply_case{"error status with data", scripted(500, reply_with_cover("https://c/x.jpg")),
                   "https://c/x.jpg"},
        reply_case{"error status without data", scripted(404, R"({"error":{"code":800}})"), "winamp-logo"},
        reply_case{"empty data", scripted(200, R"({"data":[],"total":0})"), "winamp-logo"},
        reply_case{"first result without album",
                   scripted(200, R"({"data":[{"id":1},{"album":{"cover_medium":"m"}}]})"), "winamp-logo"},
        reply_case{
            "empty image id, then xl",
            scripted(
                200,
                R"({"data":[{"album":{"cover_medium":"https://e-cdns-images.dzcdn.net/images/cover//250x250.jpg","cover_xl":"https://c/xl.jpg"}}]})"),
            "https://c/xl.jpg"},
        reply_case{"empty body", scripted(200, ""), "winamp-logo"},
        reply_case{"connection dropped without an answer", R"({"drop":true})", "winamp-logo"},
        reply_case{"connection closed mid-body",
                   scripted(200, reply_with_cover("https://c/x.jpg"), ",\"close_mid_body\":true"),
                   "winamp-logo", false},
        reply_case{"body over 1 MiB",
                   scripted(200, reply_with_cover("https://c/x.jpg") + std::string(1 << 20, ' ')),
                   "winamp-logo"}),
    [](const auto &info) { return "case_" + std::to_string(info.index); });

TEST_F(cover_rig, a_body_that_is_not_json_prints_one_parse_line)
{
    catalogue_respond(scripted(502, "<html>Bad gateway</html>"));
    testing::internal::CaptureStderr();
    EXPECT_EQ(play(L"The Band"), "winamp-logo");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "JSON PARSE ERROR (366): unexpected chars at <html>Bad gateway</html>\n");
}

// A service that accepts and then never answers, or answers too late, holds
// the player only for the bounded wait.
TEST_F(cover_rig, a_stalled_service_gives_the_player_back_within_seconds)
{
    for (const char *response : {R"({"stall":true})", R"({"delay":8})"}) {
        SCOPED_TRACE(response);
        catalogue_respond(response);
        const DWORD begin = GetTickCount();
        EXPECT_EQ(play(L"The Band"), "winamp-logo");
        const DWORD waited = GetTickCount() - begin;
        EXPECT_LT(waited, 6000u);
        catalogue_reset();
    }
}

// Wine keeps the connections of a process in a pool across sessions, so a
// stall during the TLS handshake needs a process whose first lookup it is.
TEST_F(plugin_rig, DISABLED_in_a_fresh_process_a_stalled_handshake_gives_the_player_back_within_seconds)
{
    start();
    catalogue_respond(R"({"stall":true})");
    host->library[track_file] = tagged_track(L"Blue", L"The Band", L"First Album");
    const DWORD begin = GetTickCount();
    host->play(track_file);
    EXPECT_LT(GetTickCount() - begin, 6000u);
    EXPECT_STREQ(last_activity().assets.large_image, "winamp-logo");
    EXPECT_EQ(catalogue_connections(), 1);
    EXPECT_EQ(catalogue_requests().size(), 0u);
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
    auto private_bytes = [] {
        PROCESS_MEMORY_COUNTERS_EX counters{};
        GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&counters),
                             sizeof counters);
        return counters.PrivateUsage;
    };
    for (int i = 0; i < 100; ++i) {
        play(L"Warm Up " + std::to_wstring(i));
    }
    const DWORD handles_before = handles();
    const SIZE_T memory_before = private_bytes();
    for (int i = 0; i < 2000; ++i) {
        ASSERT_NE(play(L"Artist " + std::to_wstring(i)), "winamp-logo");
    }
    EXPECT_LE(handles(), handles_before + 4);
    EXPECT_LE(private_bytes(), memory_before + 2 * 1024 * 1024);
}

} // namespace
