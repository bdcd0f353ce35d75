// The track activity through the shipped plug-in: which pieces each setting
// shows, the tag fallbacks, long texts cut within the 126-byte field limit, lines too short
// for Discord, the elapsed-time clock, and the
// listener's card (type, time bar, cover text and link, member list, hiding a
// paused track, seeks heard and unheard, also under a host loop that hands on
// only messages for a window).
#include "files.h"
#include "rig.h"

#include <ctime>
#include <map>

namespace {

const wchar_t track_file[] = L"C:\\Music\\track.mp3";

struct flags {
    int song_info = 1, album_art = 1, title = 1, album_name = 1, artist_name = 1, elapsed = 1;
    int member_list_shows = 0, hide_while_paused = 0;
};

class track_rig : public plugin_rig {
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

    // Starts the plug-in with `settings` in its settings file and `track` playing (or paused).
    void start_with(const flags &settings, const sim_track &track, LRESULT state = 1, LRESULT position_ms = 0,
                    const std::wstring &file = track_file)
    {
        SHCreateDirectoryExW(nullptr, (root + L"\\Plugins\\tolvek").c_str(), nullptr);
        write_file(root + L"\\Plugins\\tolvek\\config.ini",
                   "[Display configuration]\r\nDisplay title=" + std::to_string(settings.title) +
                       "\r\nDisplay artist name=" + std::to_string(settings.artist_name) +
                       "\r\nDisplay album name=" + std::to_string(settings.album_name) +
                       "\r\nDisplay album art=" + std::to_string(settings.album_art) +
                       "\r\nDisplay song information=" + std::to_string(settings.song_info) +
                       "\r\nShow elapsed time=" + std::to_string(settings.elapsed) +
                       "\r\nMember list shows=" + std::to_string(settings.member_list_shows) +
                       "\r\nHide while paused=" + std::to_string(settings.hide_while_paused) + "\r\n");
        load();
        host->ini_directory_w = root;
        host->library[file] = track;
        host->playing_file = file;
        host->playback_state = state;
        host->seek_unheard(position_ms); // the position runs from now, not from the host's creation
        ASSERT_EQ(host->init_plugin(), 0);
        started = true;
        await_published(1);
    }

    std::wstring root;
};

struct composition_case {
    const char *what;
    flags settings;
    LRESULT playback_state;
    const char *state;
    const char *details;
    const char *image; // "cover": the catalogue's URL
    bool clock;
};

class compositions : public track_rig, public testing::WithParamInterface<composition_case> {};

TEST_P(compositions, show_the_pieces_the_settings_allow)
{
    const composition_case &test = GetParam();
    start_with(test.settings, tagged_track(L"Blue", L"The Band", L"First Album"), test.playback_state);
    const bool wants_cover = std::string(test.image) == "cover";
    // Without album art no lookup is ever asked for; with it, the cover follows the first publication.
    const discord_activity activity = wants_cover ? await_cover(0) : last_activity();
    EXPECT_EQ(activity.state, test.state);
    EXPECT_EQ(activity.details, test.details);
    if (wants_cover) {
        EXPECT_EQ(activity.large_image.rfind("https://e-cdns-images.dzcdn.net/images/cover/", 0), 0u)
            << activity.large_image;
    } else {
        EXPECT_EQ(activity.large_image, test.image);
    }
    EXPECT_EQ(catalogue_requests().size(), wants_cover ? 1u : 0u);
    EXPECT_EQ(activity.start != 0, test.clock);
    EXPECT_EQ(activity.type, 2) << "a track is listened to";
    EXPECT_EQ(activity.end, 0) << "the host knows no length for it";
    const bool album_on_cover = wants_cover && test.settings.album_name;
    EXPECT_EQ(activity.large_text, album_on_cover ? "First Album" : "");
    // The stub's match is the track played: each line shown links to its page.
    const bool artist_linked = wants_cover && test.settings.artist_name;
    EXPECT_EQ(activity.details_url, artist_linked ? "https://www.deezer.com/artist/27" : "");
    const bool title_linked = wants_cover && test.settings.title;
    EXPECT_EQ(activity.state_url, title_linked ? "https://www.deezer.com/track/3135556" : "");
}

INSTANTIATE_TEST_SUITE_P(
    track, compositions,
    testing::Values(
        composition_case{"all on, playing", {}, 1, "Blue (Playing)", "The Band - First Album", "cover", true},
        composition_case{"all on, paused", {}, 3, "Blue (Stopped)", "The Band - First Album", "cover", false},
        composition_case{"song info off", {0, 1, 1, 1, 1, 1}, 1, "(Playing)", "", "", true},
        composition_case{
            "album art off", {1, 0, 1, 1, 1, 1}, 1, "Blue (Playing)", "The Band - First Album", "", true},
        composition_case{
            "title off", {1, 1, 0, 1, 1, 1}, 3, "(Stopped)", "The Band - First Album", "cover", false},
        composition_case{
            "album name off", {1, 1, 1, 0, 1, 1}, 1, "Blue (Playing)", "The Band", "cover", true},
        composition_case{
            "artist name off", {1, 1, 1, 1, 0, 1}, 1, "Blue (Playing)", "First Album", "cover", true},
        composition_case{"artist and album off", {1, 0, 1, 0, 0, 1}, 1, "Blue (Playing)", "", "", true},
        composition_case{"elapsed time off",
                         {1, 0, 1, 1, 1, 0},
                         1,
                         "Blue (Playing)",
                         "The Band - First Album",
                         "",
                         false}),
    [](const auto &info) { return readable_test_name(info.param.what); });

TEST_F(track_rig, a_missing_artist_falls_back_to_the_album_artist_for_text_and_lookup)
{
    sim_track track;
    track.tags = {{L"title", L"Blue"}, {L"albumartist", L"Various"}, {L"album", L"Hits"}};
    start_with({}, track);
    EXPECT_EQ(await_cover(0).details, "Various - Hits");
    const auto requests = catalogue_requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path,
              "/search/track?strict=on&q=artist:%22Various%22%20track:%22Blue%22%20album:%22Hits%22&limit=5");
}

TEST_F(track_rig, without_any_artist_the_album_stands_alone_and_no_lookup_is_made)
{
    sim_track track;
    track.tags = {{L"title", L"Blue"}, {L"album", L"Hits"}};
    start_with({}, track);
    EXPECT_EQ(last_activity().details, "Hits");
    EXPECT_EQ(last_activity().large_image, "winamp-logo");
    finish_lookups();
    EXPECT_EQ(catalogue_requests().size(), 0u);
}

TEST_F(track_rig, an_entry_without_tags_shows_the_display_title_alone)
{
    sim_track track;
    track.extended = false;
    track.display_title = L"12. Unknown - track12";
    start_with({}, track);
    const discord_activity activity = last_activity();
    EXPECT_EQ(activity.state, "12. Unknown - track12 (Playing)");
    EXPECT_EQ(activity.details, "");
    EXPECT_EQ(activity.large_image, "");
    EXPECT_EQ(host->queries_received(IPC_GET_EXTENDED_FILE_INFOW), 1) << "no artist or album asked for";
    finish_lookups();
    EXPECT_EQ(catalogue_requests().size(), 0u);
}

// A display title that names an address is never shown.
TEST_F(track_rig, an_entry_without_tags_never_shows_an_address_for_its_display_title)
{
    sim_track track;
    track.extended = false;
    track.display_title = L"Live at http://radio.example/live?listen_key=0123abcd";
    start_with({}, track);
    const discord_activity activity = last_activity();
    EXPECT_EQ(activity.state, "(Playing)");
    EXPECT_EQ(discord->updates().back().json.find("radio.example"), std::string::npos);
}

struct untitled_case {
    const char *what;
    std::map<std::wstring, std::wstring> tags;
    const wchar_t *display_title; // as the host's title format makes it
    const char *details;
    size_t lookups;
};

class untitled_files : public track_rig, public testing::WithParamInterface<untitled_case> {};

// The host answers the title of a file without that tag with success and no
// text; its display title would repeat the artist.
TEST_P(untitled_files, show_the_files_name_and_still_the_artist_and_album)
{
    sim_track track;
    track.tags = GetParam().tags;
    track.display_title = GetParam().display_title;
    start_with({}, track);
    const discord_activity activity = GetParam().lookups > 0 ? await_cover(0) : last_activity();
    EXPECT_EQ(activity.state, "track (Playing)") << "the name part of C:\\Music\\track.mp3";
    EXPECT_EQ(activity.details, GetParam().details);
    if (GetParam().lookups == 0) {
        EXPECT_EQ(activity.large_image, "winamp-logo") << "a tagged file's fallback image";
    }
    EXPECT_GE(host->queries_received(IPC_GET_EXTENDED_FILE_INFOW), 3) << "artist and album asked for";
    EXPECT_EQ(host->queries_received(IPC_GET_PLAYING_TITLE), 0) << "the display title is not needed";
    finish_lookups();
    EXPECT_EQ(catalogue_requests().size(), GetParam().lookups);
}

INSTANTIATE_TEST_SUITE_P(track, untitled_files,
                         testing::Values(untitled_case{"no tags at all", {}, L"track", "", 0},
                                         untitled_case{"artist and album but no title",
                                                       {{L"artist", L"The Band"}, {L"album", L"First Album"}},
                                                       L"The Band - track",
                                                       "The Band - First Album",
                                                       1}),
                         [](const auto &info) { return readable_test_name(info.param.what); });

std::wstring repeat(const std::wstring &piece, int times)
{
    std::wstring text;
    for (int i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

std::string repeat(const std::string &piece, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

struct limit_case {
    const char *what;
    std::wstring title;
    std::string state;
};

class field_limits : public track_rig, public testing::WithParamInterface<limit_case> {};

TEST_P(field_limits, cut_a_long_title_before_its_play_state_within_126_bytes)
{
    start_with({1, 0, 1, 1, 1, 1}, tagged_track(GetParam().title, L"A", L"B"));
    EXPECT_EQ(last_activity().state, GetParam().state) << GetParam().what;
}

const std::string ideograph = "\xE6\x97\xA5", ellipsis = "\xE2\x80\xA6";
// क्ष: KA, the virama, SSA, one conjunct a reader sees as one character (9 bytes).
const std::wstring kssa = L"\u0915\u094D\u0937";
const std::string kssa_utf8 = "\u0915\u094D\u0937";

INSTANTIATE_TEST_SUITE_P(
    track, field_limits,
    testing::Values(limit_case{"116 bytes: title, space and play state", repeat(L"a", 116),
                               repeat("a", 116) + " (Playing)"},
                    limit_case{"117 bytes: cut to keep the play state", repeat(L"a", 117),
                               repeat("a", 113) + ellipsis + " (Playing)"},
                    limit_case{"43 CJK characters: cut between characters", repeat(L"\u65e5", 43),
                               repeat(ideograph, 37) + ellipsis + " (Playing)"},
                    limit_case{"twenty conjuncts: cut between conjuncts, never after a virama",
                               L"Raga 1: " + repeat(kssa, 20),
                               "Raga 1: " + repeat(kssa_utf8, 11) + ellipsis + " (Playing)"},
                    limit_case{"flags: cut between flags, never inside one",
                               L"ab" + repeat(L"\U0001F1EB\U0001F1F7", 15),
                               "ab" + repeat("\U0001F1EB\U0001F1F7", 13) + ellipsis + " (Playing)"},
                    limit_case{"unpaired surrogate: replaced, the rest kept",
                               L"ab\xD800"
                               L"cd",
                               "ab\xEF\xBF\xBD"
                               "cd (Playing)"}));

// Cut before the 14th conjunct: its KA and virama would still fit in the
// field, but a reader would see them as a broken character.
TEST_F(track_rig, a_long_artist_alone_is_cut_between_conjuncts)
{
    start_with({1, 0, 1, 1, 1, 1}, tagged_track(L"T", repeat(kssa, 20), L""));
    EXPECT_EQ(last_activity().details, repeat(kssa_utf8, 13) + ellipsis);
}

TEST_F(track_rig, details_keep_the_album_beside_a_long_artist_within_126_bytes)
{
    const struct {
        std::wstring artist;
        std::wstring album;
        std::string details;
    } cases[] = {
        {repeat(L"a", 127), L"Short", repeat("a", 115) + ellipsis + " - Short"},
        {repeat(L"a", 113), L"0123456789", repeat("a", 113) + " - 0123456789"},
    };
    for (const auto &test : cases) {
        new_discord();
        start_with({1, 0, 1, 1, 1, 1}, tagged_track(L"T", test.artist, test.album));
        EXPECT_EQ(last_activity().details, test.details);
        quit();
        host.reset();
    }
}

struct short_line_case {
    const char *what;
    flags settings;
    std::wstring artist;
    std::wstring album;
    std::string details;
};

class short_lines : public track_rig, public testing::WithParamInterface<short_line_case> {};

const std::string zero_width_space = "\xE2\x80\x8B";

// Discord refuses a details or state line shorter than two characters.
TEST_P(short_lines, of_one_character_get_an_invisible_second_one)
{
    start_with(GetParam().settings, tagged_track(L"Blue", GetParam().artist, GetParam().album));
    EXPECT_EQ(last_activity().details, GetParam().details) << GetParam().what;
    EXPECT_EQ(last_activity().state, "Blue (Playing)");
}

INSTANTIATE_TEST_SUITE_P(
    track, short_lines,
    testing::Values(
        short_line_case{"artist alone", {1, 0, 1, 0, 1, 1}, L"A", L"Hits", "A" + zero_width_space},
        short_line_case{"album alone", {1, 0, 1, 1, 0, 1}, L"The Band", L"B", "B" + zero_width_space},
        short_line_case{"no artist", {1, 0, 1, 1, 1, 1}, L"", L"\u00e9", "\xC3\xA9" + zero_width_space},
        short_line_case{
            "outside the BMP", {1, 0, 1, 1, 1, 1}, L"\U0001F3B5", L"", "\xF0\x9F\x8E\xB5" + zero_width_space},
        short_line_case{"two characters", {1, 0, 1, 1, 1, 1}, L"AB", L"", "AB"},
        short_line_case{"artist and album", {1, 0, 1, 1, 1, 1}, L"A", L"B", "A - B"}),
    [](const auto &info) { return readable_test_name(info.param.what); });

TEST_F(track_rig, the_clock_counts_from_the_start_of_the_track)
{
    start_with({1, 0, 1, 1, 1, 1}, tagged_track(L"Blue", L"The Band", L"First Album"), 1, 42000);
    const int64_t now = static_cast<int64_t>(time(nullptr));
    EXPECT_NEAR(static_cast<double>(last_activity().start), static_cast<double>(now - 42), 2.0);

    host->output_time_ms = -1;
    host->notify_status();
    EXPECT_NEAR(static_cast<double>(next_activity(1).start), static_cast<double>(now), 2.0);
}

// The listener's card: "Listening to" with a time bar, the album on the cover
// and a link to its page, what the member list shows, a paused track shown or
// hidden, and a seek that moves the bar.
constexpr LRESULT blue_length_seconds = 245;
constexpr char album_page[] = "https://www.deezer.com/album/302127"; // the stub catalogue's album

sim_track blue(LRESULT length_seconds = blue_length_seconds)
{
    sim_track track = tagged_track(L"Blue", L"The Band", L"First Album");
    track.length_seconds = length_seconds;
    return track;
}

TEST_F(track_rig, a_playing_track_is_listened_to_with_a_time_bar_and_its_album_on_the_cover)
{
    // The logo goes out first unless the cover arrives before Discord has
    // taken an update: only the newest activity waits for the connection.
    start_with({}, blue());
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

// A CD track (its tags from the disc's database) and a "file:///" entry are
// read like files: their tags, their cover, their time bar; a seek moves it.
class entries_read_like_files : public track_rig, public testing::WithParamInterface<const wchar_t *> {};

TEST_P(entries_read_like_files, show_their_tags_cover_and_time_bar)
{
    start_with({}, blue(), 1, 0, GetParam());
    const discord_activity card = await_cover(0);
    EXPECT_EQ(card.state, "Blue (Playing)");
    EXPECT_EQ(card.details, "The Band - First Album");
    EXPECT_EQ(card.end, card.start + blue_length_seconds);
    EXPECT_EQ(card.large_text, "First Album");
    EXPECT_EQ(card.large_url, album_page);
    EXPECT_EQ(catalogue_requests().size(), 1u);

    const int before = published();
    host->seek(60000);
    const discord_activity moved = next_activity(before);
    EXPECT_NEAR(static_cast<double>(moved.start), static_cast<double>(card.start - 60), 3.0);
}

INSTANTIATE_TEST_SUITE_P(cases, entries_read_like_files,
                         testing::Values(L"cda://D,1", L"file:///C:/Music/Blue.mp3"),
                         [](const auto &info) { return info.index == 0 ? "cd_track" : "file_address"; });

TEST_F(track_rig, the_logo_of_an_album_without_a_cover_has_no_album_text_or_link)
{
    catalogue_respond(R"({"status":200,"body":"{\"data\":[],\"total\":0}"})");
    start_with({}, blue());
    await_requests(1);
    settle();
    const discord_activity card = last_activity();
    EXPECT_EQ(card.type, 2);
    EXPECT_EQ(card.large_image, "winamp-logo");
    EXPECT_EQ(card.large_text, "");
    EXPECT_EQ(card.large_url, "");
}

TEST_F(track_rig, a_stream_of_unknown_length_shows_the_elapsed_time_alone)
{
    start_with({.album_art = 0}, blue(0));
    const discord_activity card = last_activity();
    EXPECT_EQ(card.type, 2);
    EXPECT_GT(card.start, 0);
    EXPECT_EQ(card.end, 0);
    EXPECT_EQ(discord->updates().back().json.find("\"end\""), std::string::npos);
}

TEST_F(track_rig, a_paused_track_shows_stopped_without_a_clock_or_is_hidden)
{
    for (const int hide : {0, 1}) {
        SCOPED_TRACE(hide ? "hidden while paused" : "shown while paused");
        new_discord();
        start_with({.album_art = 0, .hide_while_paused = hide}, blue());
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

class member_lists : public track_rig, public testing::WithParamInterface<member_list_case> {};

TEST_P(member_lists, show_the_chosen_line_or_the_name_when_it_is_empty)
{
    sim_track track = blue();
    if (!GetParam().artist_and_album) {
        track.tags = {{L"title", L"Blue"}};
    }
    start_with({.album_art = 0, .member_list_shows = GetParam().choice}, track);
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

TEST_F(track_rig, a_seek_moves_the_time_bar)
{
    start_with({.album_art = 0}, blue(), 1, 10000);
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

// The position of a playing track is read again every 2 s, so a seek no
// message tells of still moves the bar; stopped or paused, nothing is read.
TEST_F(track_rig, a_seek_no_message_tells_of_moves_the_time_bar_and_nothing_is_read_while_paused)
{
    start_with({.album_art = 0}, blue(), 1, 10000);
    const discord_activity before = last_activity();

    host->seek_unheard(70000);
    const discord_activity after_seek = next_activity(1);
    EXPECT_NEAR(static_cast<double>(after_seek.start), static_cast<double>(before.start - 60), 1.0);
    EXPECT_EQ(after_seek.end, after_seek.start + blue_length_seconds);

    host->pause();
    await_published(3);
    const int readings = host->queries_received(IPC_GETOUTPUTTIME);
    host->pump(5000);
    EXPECT_EQ(host->queries_received(IPC_GETOUTPUTTIME), readings) << "paused: no reading";
    EXPECT_EQ(published(), 3);

    host->stop();
    await_published(4);
    host->pump(5000);
    EXPECT_EQ(host->queries_received(IPC_GETOUTPUTTIME), readings) << "stopped: no reading";
    EXPECT_EQ(published(), 4);
}

// A host whose message loop hands on only messages for a window (one that
// handles messages without a window itself, or drops them): the position is
// still read every 2 s, since the poll's timer belongs to a window of the
// plug-in's own.
TEST_F(track_rig, a_seek_no_message_tells_of_moves_the_time_bar_under_a_loop_that_drops_windowless_messages)
{
    start_with({.album_art = 0}, blue(), 1, 10000);
    const discord_activity before = last_activity();

    host->seek_unheard(70000);
    const DWORD begin = GetTickCount();
    while (published() < 2 && GetTickCount() - begin < 10000) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.hwnd != nullptr) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    ASSERT_EQ(published(), 2);
    EXPECT_NEAR(static_cast<double>(last_activity().start), static_cast<double>(before.start - 60), 1.0);
}

} // namespace
