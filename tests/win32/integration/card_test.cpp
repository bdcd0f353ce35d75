// The listener's card through the shipped plug-in and the fake Discord:
// "Listening to" with a time bar, the album on the cover and a link to its
// page, what the member list shows, a paused track shown or hidden, and a seek
// that moves the bar.
#include "files.h"
#include "rig.h"

#include <string>

namespace {

const wchar_t track_file[] = L"C:\\Music\\blue.mp3";
constexpr LRESULT blue_length_seconds = 245;
constexpr char album_page[] = "https://www.deezer.com/album/302127"; // the stub catalogue's album

struct card_settings {
    int album_art = 1;
    int member_list_shows = 0;
    int hide_while_paused = 0;
};

class card_rig : public plugin_rig {
  protected:
    void SetUp() override
    {
        plugin_rig::SetUp();
        root = fresh_test_folder();
    }

    void TearDown() override
    {
        plugin_rig::TearDown();
        remove_tree(root);
    }

    // Starts the plug-in with `settings` and `track` playing (or paused) at `position_ms`.
    void start_with(const card_settings &settings, sim_track track, LRESULT state = 1,
                    LRESULT position_ms = 0)
    {
        SHCreateDirectoryExW(nullptr, (root + L"\\Plugins\\tolvek").c_str(), nullptr);
        write_file(root + L"\\Plugins\\tolvek\\config.ini",
                   "[Display configuration]\r\nDisplay title=1\r\nDisplay artist name=1\r\n"
                   "Display album name=1\r\nDisplay album art=" +
                       std::to_string(settings.album_art) +
                       "\r\nDisplay song information=1\r\nShow elapsed time=1\r\nMember list shows=" +
                       std::to_string(settings.member_list_shows) +
                       "\r\nHide while paused=" + std::to_string(settings.hide_while_paused) + "\r\n");
        load();
        host->ini_directory_w = root;
        host->library[track_file] = std::move(track);
        host->playing_file = track_file;
        host->playback_state = state;
        host->output_time_ms = position_ms;
        ASSERT_EQ(host->init_plugin(), 0);
        started = true;
        await_published(1);
    }

    std::wstring root;
};

sim_track blue(LRESULT length_seconds = blue_length_seconds)
{
    sim_track track = tagged_track(L"Blue", L"The Band", L"First Album");
    track.length_seconds = length_seconds;
    return track;
}

TEST_F(card_rig, a_playing_track_is_listened_to_with_a_time_bar_and_its_album_on_the_cover)
{
    start_with({}, blue());
    const discord_activity first = last_activity();
    EXPECT_EQ(first.type, 2);
    EXPECT_EQ(first.large_image, "winamp-logo");
    EXPECT_EQ(first.large_text, "") << "no album text on the logo";
    EXPECT_EQ(first.large_url, "");

    const discord_activity card = await_cover(0);
    EXPECT_EQ(card.type, 2);
    EXPECT_EQ(card.state, "Blue (Playing)");
    EXPECT_EQ(card.details, "The Band - First Album");
    EXPECT_GT(card.start, 1700000000);
    EXPECT_EQ(card.end, card.start + blue_length_seconds);
    EXPECT_EQ(card.large_text, "First Album");
    EXPECT_EQ(card.large_url, album_page);
    EXPECT_EQ(card.status_display_type, 0);
    const std::string json = discord->updates().back().json;
    EXPECT_NE(json.find(R"("timestamps":{"start":)" + std::to_string(card.start) + R"(,"end":)" +
                        std::to_string(card.end) + "}"),
              std::string::npos)
        << json;
}

TEST_F(card_rig, a_stream_of_unknown_length_shows_the_elapsed_time_alone)
{
    start_with({0}, blue(0));
    const discord_activity card = last_activity();
    EXPECT_EQ(card.type, 2);
    EXPECT_GT(card.start, 0);
    EXPECT_EQ(card.end, 0);
    EXPECT_EQ(discord->updates().back().json.find("\"end\""), std::string::npos);
}

TEST_F(card_rig, a_paused_track_shows_stopped_without_a_clock_or_is_hidden)
{
    for (const int hide : {0, 1}) {
        SCOPED_TRACE(hide ? "hidden while paused" : "shown while paused");
        new_discord();
        start_with({0, 0, hide}, blue());
        host->pause();
        await_published(2);
        const received_frame paused = discord->updates().back();
        if (hide) {
            EXPECT_TRUE(paused.clear);
        } else {
            ASSERT_FALSE(paused.clear);
            EXPECT_EQ(paused.activity.type, 2);
            EXPECT_EQ(paused.activity.state, "Blue (Stopped)");
            EXPECT_EQ(paused.activity.start, 0);
            EXPECT_EQ(paused.activity.end, 0);
        }
        host->resume();
        EXPECT_GT(next_activity(2).start, 0) << "playing again shows the card";
        host->stop();
        const discord_activity idle = next_activity(3);
        EXPECT_EQ(idle.state, "(Idle)") << "stopped shows the idle card either way";
        EXPECT_EQ(idle.type, 0);
        quit();
        host.reset();
    }
}

struct member_list_case {
    const char *what;
    int choice;
    bool artist_and_album;
    int sent;
};

class member_lists : public card_rig, public testing::WithParamInterface<member_list_case> {};

TEST_P(member_lists, show_the_chosen_line_or_the_name_when_it_is_empty)
{
    sim_track track = blue();
    if (!GetParam().artist_and_album) {
        track.tags = {{L"title", L"Blue"}};
    }
    start_with({0, GetParam().choice}, track);
    EXPECT_EQ(last_activity().status_display_type, GetParam().sent);
    const std::string json = discord->updates().back().json;
    EXPECT_EQ(json.find("status_display_type") != std::string::npos, GetParam().sent != 0) << json;
}

INSTANTIATE_TEST_SUITE_P(choices, member_lists,
                         testing::Values(member_list_case{"the_name", 0, true, 0},
                                         member_list_case{"the_title", 1, true, 1},
                                         member_list_case{"the_artist", 2, true, 2},
                                         member_list_case{"the_artist_of_an_untagged_file", 2, false, 0}),
                         [](const auto &info) { return std::string(info.param.what); });

TEST_F(card_rig, a_seek_moves_the_time_bar)
{
    start_with({0}, blue(), 1, 10000);
    const discord_activity before = last_activity();
    ASSERT_EQ(before.end, before.start + blue_length_seconds);

    host->seek(70000);
    const discord_activity after_seek = next_activity(1);
    EXPECT_NEAR(static_cast<double>(after_seek.start), static_cast<double>(before.start - 60), 1.0);
    EXPECT_EQ(after_seek.end, after_seek.start + blue_length_seconds);

    host->jump_5s(false);
    const discord_activity after_jump = next_activity(2);
    EXPECT_NEAR(static_cast<double>(after_jump.start), static_cast<double>(after_seek.start + 5), 1.0);

    host->notify_status();
    settle();
    EXPECT_EQ(published(), 3) << "the same playback read again sends nothing";
}

} // namespace
