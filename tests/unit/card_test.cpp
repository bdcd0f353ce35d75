// The track card: "Listening to" for a track, the time bar beside the clock,
// the album on the cover and its link, the links on the lines, what the
// member list shows, and a paused track hidden when the settings say so.
#include "presence/card.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr char cover_url[] = "https://e-cdns-images.dzcdn.net/images/cover/abc/250x250-000000-80-0-0.jpg";
constexpr char album_page[] = "https://www.deezer.com/album/302127";
constexpr char artist_page[] = "https://www.deezer.com/artist/27";
constexpr char title_page[] = "https://www.deezer.com/track/3135556";

track_facts blue(int playback_state = 1)
{
    track_facts track;
    track.playback_state = playback_state;
    track.extended = true;
    track.title = UTF16("Blue");
    track.artist = UTF16("The Band");
    track.album = UTF16("First Album");
    track.clock_start = playback_state == 1 ? 1700000001 : 0;
    track.length_seconds = 245;
    track.image = cover_url;
    track.album_page = album_page;
    track.artist_page = artist_page;
    track.title_page = title_page;
    return track;
}

TEST(track_card, a_playing_track_is_listened_to_with_a_time_bar_and_the_album_on_its_cover)
{
    const std::optional<discord_activity> card = compose_track_card(blue(), cfg_settings{});
    ASSERT_TRUE(card);
    EXPECT_EQ(card->type, activity_type_listening);
    EXPECT_EQ(card->state, "Blue (Playing)");
    EXPECT_EQ(card->details, "The Band - First Album");
    EXPECT_EQ(card->start, 1700000001);
    EXPECT_EQ(card->end, 1700000001 + 245);
    EXPECT_EQ(card->large_image, cover_url);
    EXPECT_EQ(card->large_text, "First Album");
    EXPECT_EQ(card->large_url, album_page);
    EXPECT_EQ(card->details_url, artist_page);
    EXPECT_EQ(card->state_url, title_page);
    EXPECT_EQ(card->status_display_type, cfg_status_shows_name);
}

struct line_link_case {
    const char *what;
    void (*change)(track_facts &track, cfg_settings &settings);
    bool artist_linked;
    bool title_linked;
};

class line_links : public testing::TestWithParam<line_link_case> {};

TEST_P(line_links, go_on_the_line_that_shows_the_artist_or_the_title)
{
    track_facts track = blue();
    cfg_settings settings;
    GetParam().change(track, settings);
    const std::optional<discord_activity> card = compose_track_card(track, settings);
    ASSERT_TRUE(card);
    EXPECT_EQ(card->details_url, GetParam().artist_linked ? artist_page : "") << card->details;
    EXPECT_EQ(card->state_url, GetParam().title_linked ? title_page : "") << card->state;
}

INSTANTIATE_TEST_SUITE_P(
    cases, line_links,
    testing::Values(
        line_link_case{"both", [](track_facts &, cfg_settings &) {}, true, true},
        line_link_case{"no_pages",
                       [](track_facts &track, cfg_settings &) {
                           track.artist_page.clear();
                           track.title_page.clear();
                       },
                       false, false},
        line_link_case{"logo_keeps_the_line_links",
                       [](track_facts &track, cfg_settings &) { track.image = cover_fallback_image; }, true,
                       true},
        line_link_case{"artist_hidden",
                       [](track_facts &, cfg_settings &settings) { settings.display_artist_name = 0; }, false,
                       true},
        line_link_case{"title_hidden",
                       [](track_facts &, cfg_settings &settings) { settings.display_title = 0; }, true,
                       false},
        line_link_case{"song_info_off",
                       [](track_facts &, cfg_settings &settings) { settings.display_song_info = 0; }, false,
                       false},
        line_link_case{"no_artist_tag", [](track_facts &track, cfg_settings &) { track.artist = {}; }, false,
                       true},
        line_link_case{"no_extended_information",
                       [](track_facts &track, cfg_settings &) { track.extended = false; }, false, true},
        line_link_case{"paused", [](track_facts &track, cfg_settings &) { track.playback_state = 3; }, true,
                       true}),
    [](const auto &info) { return std::string(info.param.what); });

struct clock_case {
    const char *what;
    int playback_state;
    int64_t clock_start;
    int64_t length_seconds;
    int64_t start, end;
};

class clocks : public testing::TestWithParam<clock_case> {};

TEST_P(clocks, show_a_bar_only_beside_a_running_clock_of_a_known_length)
{
    track_facts track = blue(GetParam().playback_state);
    track.clock_start = GetParam().clock_start;
    track.length_seconds = GetParam().length_seconds;
    const std::optional<discord_activity> card = compose_track_card(track, cfg_settings{});
    ASSERT_TRUE(card);
    EXPECT_EQ(card->start, GetParam().start);
    EXPECT_EQ(card->end, GetParam().end);
}

INSTANTIATE_TEST_SUITE_P(cases, clocks,
                         testing::Values(clock_case{"playing_length_known", 1, 1000, 60, 1000, 1060},
                                         clock_case{"a_stream_length_unknown", 1, 1000, 0, 1000, 0},
                                         clock_case{"length_reported_as_minus_1", 1, 1000, -1, 1000, 0},
                                         clock_case{"elapsed_time_not_shown", 1, 0, 60, 0, 0},
                                         clock_case{"paused", 3, 1000, 60, 0, 0}),
                         [](const auto &info) { return std::string(info.param.what); });

TEST(track_card, the_cover_carries_text_and_link_only_when_it_is_a_cover)
{
    track_facts logo = blue();
    logo.image = cover_fallback_image;
    logo.album_page.clear();
    const std::optional<discord_activity> with_logo = compose_track_card(logo, cfg_settings{});
    EXPECT_EQ(with_logo->large_image, "winamp-logo");
    EXPECT_EQ(with_logo->large_text, "");
    EXPECT_EQ(with_logo->large_url, "");

    track_facts no_page = blue();
    no_page.album_page.clear();
    EXPECT_EQ(compose_track_card(no_page, cfg_settings{})->large_url, "") << "no link without a page";

    cfg_settings album_hidden;
    album_hidden.display_album_name = 0;
    const std::optional<discord_activity> hidden = compose_track_card(blue(), album_hidden);
    EXPECT_EQ(hidden->large_text, "") << "the album the user hides is not on the cover either";
    EXPECT_EQ(hidden->large_url, album_page);

    track_facts long_album = blue();
    const std::u16string name(43, u'\u00e9');     // 86 bytes
    const std::u16string too_long(64, u'\u00e9'); // 128 bytes
    std::basic_string<utf16_char> fits(name.begin(), name.end()), does_not(too_long.begin(), too_long.end());
    long_album.album = fits;
    EXPECT_EQ(compose_track_card(long_album, cfg_settings{})->large_text.size(), 86u);
    long_album.album = does_not;
    EXPECT_EQ(compose_track_card(long_album, cfg_settings{})->large_text,
              utf16_to_utf8(does_not.substr(0, 61)) + "\u2026")
        << "cut like the lines";
    long_album.album = UTF16("X");
    EXPECT_EQ(compose_track_card(long_album, cfg_settings{})->large_text, "X\u200B")
        << "padded as the lines are";
}

struct member_list_case {
    const char *what;
    int32_t choice;
    bool details_empty;
    int shown;
};

class member_list : public testing::TestWithParam<member_list_case> {};

TEST_P(member_list, shows_the_chosen_line_or_the_name_when_that_line_is_empty)
{
    cfg_settings settings;
    settings.status_display_type = GetParam().choice;
    track_facts track = blue();
    if (GetParam().details_empty) {
        track.artist = {};
        track.album = {};
    }
    EXPECT_EQ(compose_track_card(track, settings)->status_display_type, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(cases, member_list,
                         testing::Values(member_list_case{"name", 0, false, 0},
                                         member_list_case{"title", 1, false, 1},
                                         member_list_case{"artist", 2, false, 2},
                                         member_list_case{"artist_missing", 2, true, 0},
                                         member_list_case{"title_beside_missing_artist", 1, true, 1}),
                         [](const auto &info) { return std::string(info.param.what); });

TEST(track_card, a_paused_track_reads_stopped_or_is_hidden)
{
    const std::optional<discord_activity> paused = compose_track_card(blue(3), cfg_settings{});
    ASSERT_TRUE(paused);
    EXPECT_EQ(paused->type, activity_type_listening);
    EXPECT_EQ(paused->state, "Blue (Stopped)");

    cfg_settings hide;
    hide.hide_while_paused = 1;
    EXPECT_FALSE(compose_track_card(blue(3), hide)) << "cleared";
    EXPECT_TRUE(compose_track_card(blue(1), hide)) << "a playing track still shows";
}

TEST(track_card, the_clock_moves_only_when_the_playback_did)
{
    EXPECT_EQ(steady_clock_start(0, 1000), 1000) << "a new clock";
    EXPECT_EQ(steady_clock_start(1000, 1001), 1000) << "the same playback, read a moment apart";
    EXPECT_EQ(steady_clock_start(1000, 998), 1000);
    EXPECT_EQ(steady_clock_start(1000, 1030), 1030) << "a seek back";
    EXPECT_EQ(steady_clock_start(1000, 940), 940) << "a seek forward";
}

} // namespace

namespace {

std::string readable(std::string description)
{
    for (char &c : description) {
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return description;
}

struct own_line_case {
    const char *what;
    const char *title_line; // what the host made of the listener's templates
    const char *artist_line;
    const char *state;
    const char *details;
    bool artist_linked;
    bool title_linked;
};

class own_lines : public testing::TestWithParam<own_line_case> {};

TEST_P(own_lines, replace_the_built_in_ones_unless_blank_and_are_cut_and_padded_alike)
{
    const own_line_case &test = GetParam();
    track_facts track = blue();
    track.formatted.title_line = test.title_line;
    track.formatted.artist_line = test.artist_line;
    const std::optional<discord_activity> card = compose_track_card(track, cfg_settings{});
    ASSERT_TRUE(card);
    EXPECT_EQ(card->state, test.state);
    EXPECT_EQ(card->details, test.details);
    EXPECT_EQ(card->details_url, test.artist_linked ? artist_page : "");
    EXPECT_EQ(card->state_url, test.title_linked ? title_page : "");
}

const std::string long_line = std::string(120, 'x') + " \xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";
const std::string long_line_cut = std::string(120, 'x') + " \xC3\xA9\u2026";
const std::string long_header_cut = std::string(123, 't') + "\u2026";

INSTANTIATE_TEST_SUITE_P(
    card, own_lines,
    testing::Values(own_line_case{"none", "", "", "Blue (Playing)", "The Band - First Album", true, true},
                    own_line_case{"both", "BLUE (Playing)", "First Album by The Band", "BLUE (Playing)",
                                  "First Album by The Band", true, false},
                    own_line_case{"blank falls back", "   ", "", "Blue (Playing)", "The Band - First Album",
                                  true, true},
                    own_line_case{"one character padded", "x", "y", "x\u200B", "y\u200B", false, false},
                    own_line_case{"too long cut", long_line.c_str(), "", long_line_cut.c_str(),
                                  "The Band - First Album", true, false}),
    [](const auto &info) { return readable(info.param.what); });

struct header_case {
    const char *what;
    int32_t header_shows;
    void (*change)(track_facts &track, cfg_settings &settings);
    const char *name;
};

class headers : public testing::TestWithParam<header_case> {};

TEST_P(headers, show_the_chosen_field_as_the_settings_show_it)
{
    const header_case &test = GetParam();
    track_facts track = blue();
    cfg_settings settings;
    settings.header_shows = test.header_shows;
    if (test.change != nullptr) {
        test.change(track, settings);
    }
    const std::optional<discord_activity> card = compose_track_card(track, settings);
    ASSERT_TRUE(card);
    EXPECT_EQ(card->name, test.name);
}

INSTANTIATE_TEST_SUITE_P(
    card, headers,
    testing::Values(
        header_case{"the application by default", cfg_header_shows_name, nullptr, ""},
        header_case{"the artist", cfg_header_shows_artist, nullptr, "The Band"},
        header_case{"the title", cfg_header_shows_title, nullptr, "Blue"},
        header_case{"the artist box off", cfg_header_shows_artist,
                    [](track_facts &, cfg_settings &settings) { settings.display_artist_name = 0; }, ""},
        header_case{"song info off", cfg_header_shows_title,
                    [](track_facts &, cfg_settings &settings) { settings.display_song_info = 0; }, ""},
        header_case{"one character padded", cfg_header_shows_title,
                    [](track_facts &track, cfg_settings &) { track.title = UTF16("B"); }, "B\u200B"},
        header_case{"long title cut", cfg_header_shows_title,
                    [](track_facts &track, cfg_settings &) {
                        static const utf16_string long_title(200, UTF16('t'));
                        track.title = long_title;
                    },
                    long_header_cut.c_str()},
        header_case{"a stream without a song shows its station", cfg_header_shows_artist,
                    [](track_facts &track, cfg_settings &) {
                        track.stream = true;
                        track.artist = {};
                        track.title = {};
                        track.station = UTF16("Radio Corvane");
                    },
                    "Radio Corvane"},
        header_case{"a stream's song wins over its station", cfg_header_shows_title,
                    [](track_facts &track, cfg_settings &) {
                        track.stream = true;
                        track.station = UTF16("Radio Corvane");
                    },
                    "Blue"}),
    [](const auto &info) { return readable(info.param.what); });

struct button_case {
    const char *what;
    int32_t button_1;
    int32_t button_2;
    void (*change)(track_facts &track);
    std::vector<activity_button> buttons;
};

class buttons : public testing::TestWithParam<button_case> {};

TEST_P(buttons, open_known_pages_or_the_listeners_own_address)
{
    const button_case &test = GetParam();
    track_facts track = blue();
    track.formatted.button_labels = {"My label", "Second"};
    track.formatted.button_addresses = {"https://example.org/?q=The%20Band", "https://example.org/2"};
    if (test.change != nullptr) {
        test.change(track);
    }
    cfg_settings settings;
    settings.button_1 = test.button_1;
    settings.button_2 = test.button_2;
    const std::optional<discord_activity> card = compose_track_card(track, settings);
    ASSERT_TRUE(card);
    EXPECT_EQ(card->buttons, test.buttons);
}

const std::string station_home = "https://radio.example/";
const std::string long_address = "https://example.org/" + std::string(493, 'a'); // 513 bytes

INSTANTIATE_TEST_SUITE_P(
    card, buttons,
    testing::Values(
        button_case{"none by default", cfg_button_off, cfg_button_off, nullptr, {}},
        button_case{"track and album pages",
                    cfg_button_track_page,
                    cfg_button_album_page,
                    nullptr,
                    {{"Track page", title_page}, {"Album page", album_page}}},
        button_case{"artist page second only",
                    cfg_button_off,
                    cfg_button_artist_page,
                    nullptr,
                    {{"Artist page", artist_page}}},
        button_case{"a page not matched is left out",
                    cfg_button_track_page,
                    cfg_button_artist_page,
                    [](track_facts &track) { track.title_page.clear(); },
                    {{"Artist page", artist_page}}},
        button_case{"the station's home page",
                    cfg_button_station_page,
                    cfg_button_off,
                    [](track_facts &track) {
                        track.stream = true;
                        track.station_page = station_home;
                    },
                    {{"Station's home page", station_home}}},
        button_case{"a station page over http is left out",
                    cfg_button_station_page,
                    cfg_button_off,
                    [](track_facts &track) {
                        track.stream = true;
                        track.station_page = "http://radio.example/";
                    },
                    {}},
        button_case{"a file has no station",
                    cfg_button_station_page,
                    cfg_button_off,
                    [](track_facts &track) { track.station_page = station_home; },
                    {}},
        button_case{"the listener's own",
                    cfg_button_own,
                    cfg_button_own,
                    nullptr,
                    {{"My label", "https://example.org/?q=The%20Band"}, {"Second", "https://example.org/2"}}},
        button_case{"own without an address",
                    cfg_button_own,
                    cfg_button_off,
                    [](track_facts &track) { track.formatted.button_addresses[0].clear(); },
                    {}},
        button_case{"own without a label",
                    cfg_button_own,
                    cfg_button_off,
                    [](track_facts &track) { track.formatted.button_labels[0] = " "; },
                    {}},
        button_case{"own address not https",
                    cfg_button_own,
                    cfg_button_off,
                    [](track_facts &track) { track.formatted.button_addresses[0] = "ftp://example.org/"; },
                    {}},
        button_case{"own address past 512 bytes",
                    cfg_button_own,
                    cfg_button_off,
                    [](track_facts &track) { track.formatted.button_addresses[0] = long_address; },
                    {}},
        button_case{
            "own address of 512 bytes",
            cfg_button_own,
            cfg_button_off,
            [](track_facts &track) { track.formatted.button_addresses[0] = long_address.substr(0, 512); },
            {{"My label", long_address.substr(0, 512)}}},
        button_case{"a long label cut between characters",
                    cfg_button_own,
                    cfg_button_off,
                    [](track_facts &track) {
                        // 30 letters, then a letter with its accent and two more letters
                        track.formatted.button_labels[0] = std::string(30, 'l') + "e\xCC\x81xy";
                    },
                    {{std::string(30, 'l') + "\u2026", "https://example.org/?q=The%20Band"}}}),
    [](const auto &info) { return readable(info.param.what); });

} // namespace
