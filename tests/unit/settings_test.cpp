// Settings rules: how file texts set the record, the exact bytes written, and
// what a version that knows only the six on/off keys makes of them.
#include "config/ini_reader.h"
#include "config/settings.h"
#include "ini_harness.h"
#include "settings_texts.h"

#include <gtest/gtest.h>

namespace {

cfg_settings load_text(const std::string &text, cfg_settings settings = {})
{
    memory_source source{&text};
    ini_read_stream(&memory_read_line, &source, &cfg_handler, &settings);
    return settings;
}

// Settings off their defaults, of either kind.
cfg_settings mixed_settings()
{
    cfg_settings settings;
    settings.display_artist_name = 0;
    settings.show_elapsed_time = 0;
    settings.status_display_type = cfg_status_shows_details;
    settings.hide_while_paused = 1;
    return settings;
}

struct value_case {
    const char *value;
    int32_t expected;
};

class title_values : public testing::TestWithParam<value_case> {};

TEST_P(title_values, read_as_decimal_numbers_where_non_zero_means_on)
{
    cfg_settings settings;
    settings.display_title = 1 - GetParam().expected;
    settings = load_text(std::string("[Display configuration]\r\nDisplay title=") + GetParam().value + "\r\n",
                         settings);
    EXPECT_EQ(settings.display_title, GetParam().expected) << "value: " << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(settings, title_values,
                         testing::Values(value_case{"0", 0}, value_case{"1", 1}, value_case{"2", 1},
                                         value_case{"-1", 1}, value_case{"007", 1}, value_case{"1abc", 1},
                                         value_case{"abc", 0}, value_case{"x1", 0}, value_case{"", 0},
                                         value_case{"1 ; note", 1}, value_case{"0;1", 0},
                                         value_case{"99999999999", 1}, value_case{" +1", 1}));

TEST(settings_file_text, loads_the_same_values_however_it_is_laid_out)
{
    const std::string layouts[] = {
        "[Display configuration]\r\nShow elapsed time=0\r\nDisplay title=0\r\nDisplay album art=0\r\n",
        "; comment\r\n[Display configuration]\r\n\r\nDisplay title = 0\r\n# c\r\nDisplay album art:0\r\n"
        "Show elapsed time=1\r\n  0\r\n",
        "\xEF\xBB\xBF[Display configuration]\nDisplay title=0\nDisplay album art=0\nShow elapsed time=0\n",
        "[Display configuration]\nDisplay title=1\nunknown key=1\nno separator\nDisplay title=0\n"
        "Display album art=0\nShow elapsed time=0\n",
    };
    for (const std::string &text : layouts) {
        const cfg_settings settings = load_text(text);
        EXPECT_EQ(settings.display_title, 0) << text;
        EXPECT_EQ(settings.display_album_art, 0) << text;
        EXPECT_EQ(settings.show_elapsed_time, 0) << text;
        EXPECT_EQ(settings.display_song_info, 1) << text;
        EXPECT_EQ(settings.display_album_name, 1) << text;
        EXPECT_EQ(settings.display_artist_name, 1) << text;
    }
}

TEST(settings_file_text, ignores_other_sections_other_spellings_and_entries_before_the_section)
{
    const cfg_settings settings =
        load_text("Display title=0\r\n[ Display configuration ]\r\nDisplay title=0\r\n"
                  "[display configuration]\r\nDisplay title=0\r\n"
                  "[Display configuration]\r\ndisplay title=0\r\nDisplay Title=0\r\n"
                  "Display album name=0\r\n");
    EXPECT_EQ(settings.display_title, 1);
    EXPECT_EQ(settings.display_album_name, 0);
}

TEST(settings_file_text, is_written_as_199_bytes_at_the_defaults_and_reads_back)
{
    const std::string expected = default_settings_file;
    EXPECT_EQ(cfg_format(cfg_settings{}), expected);
    EXPECT_EQ(expected.size(), 199u);

    const cfg_settings mixed = mixed_settings();
    const std::string text = cfg_format(mixed);
    EXPECT_NE(text.find("Display artist name=0\r\n"), std::string::npos);
    EXPECT_NE(text.find("Show elapsed time=0\r\nMember list shows=2\r\nHide while paused=1\r\n"),
              std::string::npos);
    const cfg_settings read_back = load_text(text);
    EXPECT_EQ(read_back, mixed);
    EXPECT_EQ(cfg_format(read_back), text);
}

TEST(settings_file_text, keeps_the_six_lines_of_older_versions_first_and_byte_identical)
{
    cfg_settings settings;
    settings.display_title = 0;
    settings.display_album_art = 0;
    settings.status_display_type = cfg_status_shows_state;
    const std::string older = "[Display configuration]\r\n"
                              "Display title=0\r\n"
                              "Display artist name=1\r\n"
                              "Display album name=1\r\n"
                              "Display album art=0\r\n"
                              "Display song information=1\r\n"
                              "Show elapsed time=1\r\n";
    EXPECT_EQ(cfg_format(settings).substr(0, older.size()), older);
}

TEST(settings_file_text, without_the_newer_keys_reads_their_defaults)
{
    const cfg_settings settings = load_text("[Display configuration]\r\nDisplay title=0\r\n");
    EXPECT_EQ(settings.status_display_type, cfg_status_shows_name);
    EXPECT_EQ(settings.hide_while_paused, 0);
    EXPECT_EQ(settings.display_title, 0);
}

// What a version that knows only the six on/off keys does with each entry.
int six_key_handler(void *user, const char *section, const char *name, const char *value)
{
    const std::pair<const char *, int32_t cfg_settings::*> six_keys[] = {
        {"Display title", &cfg_settings::display_title},
        {"Display artist name", &cfg_settings::display_artist_name},
        {"Display album name", &cfg_settings::display_album_name},
        {"Display album art", &cfg_settings::display_album_art},
        {"Display song information", &cfg_settings::display_song_info},
        {"Show elapsed time", &cfg_settings::show_elapsed_time},
    };
    for (const auto &[key, field] : six_keys) {
        if (std::string(section) == cfg_section && std::string(name) == key) {
            static_cast<cfg_settings *>(user)->*field = std::strtol(value, nullptr, 10) != 0 ? 1 : 0;
            return 1;
        }
    }
    return 0;
}

TEST(settings_file_text, written_now_loses_nothing_for_a_reader_that_refuses_the_newer_keys)
{
    const cfg_settings written = mixed_settings();
    const std::string text = cfg_format(written);
    cfg_settings older;
    EXPECT_EQ(ini_read_text(text, &six_key_handler, &older), 8) << "the first refused line";
    older.status_display_type = written.status_display_type;
    older.hide_while_paused = written.hide_while_paused;
    EXPECT_EQ(older, written);
}

struct ranged_case {
    const char *key;
    const char *value;
    int32_t expected;
};

class ranged_values : public testing::TestWithParam<ranged_case> {};

TEST_P(ranged_values, read_as_decimal_numbers_where_one_out_of_range_reads_as_the_default)
{
    cfg_settings settings;
    settings.status_display_type = cfg_status_shows_state;
    settings.hide_while_paused = 1;
    EXPECT_EQ(cfg_set_value(&settings, GetParam().key, GetParam().value), 1);
    const bool member_list = std::string(GetParam().key) == "Member list shows";
    EXPECT_EQ(member_list ? settings.status_display_type : settings.hide_while_paused, GetParam().expected)
        << GetParam().key << "=" << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    settings, ranged_values,
    testing::Values(ranged_case{"Member list shows", "0", 0}, ranged_case{"Member list shows", "1", 1},
                    ranged_case{"Member list shows", "2", 2}, ranged_case{"Member list shows", "3", 0},
                    ranged_case{"Member list shows", "-1", 0}, ranged_case{"Member list shows", "2abc", 2},
                    ranged_case{"Member list shows", "abc", 0}, ranged_case{"Member list shows", "", 0},
                    ranged_case{"Member list shows", "99999999999", 0},
                    ranged_case{"Hide while paused", "1", 1}, ranged_case{"Hide while paused", "0", 0},
                    ranged_case{"Hide while paused", "2", 0}, ranged_case{"Hide while paused", "-1", 0},
                    ranged_case{"Hide while paused", " +1", 1}));

// Templates a user may write, each of which a naive "key=value" line would
// lose in part to the reader's trimming, inline comments or line ends.
const std::string nasty_templates[] = {
    "",
    "%artist% - %title%",
    "  leading and trailing spaces  ",
    "\ttab\t",
    "a ;not a comment",
    "a;b ; c ;",
    "; starts like a comment",
    "# starts like a comment",
    "a #b # c",
    "key=value: more = [section]",
    "[%album%]",
    "$if2(%artist%,'unknown') 'quoted' $upper(%title%)",
    "\"",
    "\"quoted\"",
    "\"half",
    "half\"",
    "C:\\Music\\\\",
    "back\\;slash\\",
    "\\x41 is no escape",
    "line\nbreak\r\nand\rreturn",
    std::string("nul\0inside", 10),
    "\x7F\x01 controls",
    "\xEF\xBB\xBF after a byte-order mark",
    "\xC5\x81\xC3\x93"
    "D\xC5\xB9 \xF0\x9F\x8E\xB5",
    "https://www.deezer.com/search/" + std::string(480, 'x') + "?q=%artist% ;%title%",
    " " + std::string(600, ';') + " ",
};

TEST(settings_text_values, read_back_exactly_however_nasty)
{
    for (const std::string &text : nasty_templates) {
        cfg_settings written;
        written.title_line = text;
        written.artist_line = text + text;
        written.button_1_label = text;
        written.button_1_address = text;
        written.button_2_label = text;
        written.button_2_address = " " + text;
        const std::string file = cfg_format(written);
        cfg_settings read;
        cfg_parse(file, &read);
        EXPECT_EQ(read, written) << testing::PrintToString(file);
        EXPECT_EQ(cfg_decode_text(cfg_encode_text(text)), text) << testing::PrintToString(text);
        EXPECT_EQ(cfg_encode_text(text).find('\n'), std::string::npos);
    }
}

struct encoding_case {
    std::string text;
    std::string written;
};

TEST(settings_text_values, are_written_as_they_are_unless_the_reader_would_alter_them)
{
    const encoding_case cases[] = {
        {"%artist% - %title%", "%artist% - %title%"},
        {"a;b #c = d: e", "a;b #c = d: e"},
        {"half\"", "half\""},
        {"C:\\Music", "C:\\Music"},
        {" x", "\" x\""},
        {"x ", "\"x \""},
        {"a ;b;c", "\"a \\;b\\;c\""},
        {"\"q\"", "\"\\\"q\\\"\""},
        {"a\\ b ", "\"a\\\\ b \""},
        {"tab\there", "\"tab\\x09here\""},
    };
    for (const encoding_case &test : cases) {
        EXPECT_EQ(cfg_encode_text(test.text), test.written) << test.text;
        EXPECT_EQ(cfg_decode_text(test.written), test.text) << test.written;
    }
}

TEST(settings_text_values, quoted_by_hand_read_what_they_mean)
{
    const encoding_case cases[] = {
        {"\"  spaced  \"", "  spaced  "},
        {"\"C:\\Music\\Own\"", "C:\\Music\\Own"},
        {"\"\\x4\"", "\\x4"},
        {"\"\\x41\\x4a\"", "AJ"},
        {"\"\"", ""},
        {"\"", "\""},
        {"'single'", "'single'"},
    };
    for (const encoding_case &test : cases) {
        EXPECT_EQ(cfg_decode_text(test.text), test.written) << test.text;
    }
}

TEST(settings_file_text, names_the_newer_keys_after_the_eight_in_their_order_only_when_not_at_defaults)
{
    cfg_settings settings;
    settings.title_line = "%title%";
    settings.artist_line = "%artist%";
    settings.header_shows = cfg_header_shows_title;
    settings.button_1 = cfg_button_own;
    settings.button_1_label = "Listen";
    settings.button_1_address = "https://example.com/?q=%title%";
    settings.button_2 = cfg_button_album_page;
    settings.button_2_label = "L2";
    settings.button_2_address = "A2";
    settings.share_on_discord = 0;
    const std::string newer = "Title line=%title%\r\n"
                              "Artist line=%artist%\r\n"
                              "Header shows=2\r\n"
                              "Button 1=5\r\n"
                              "Button 1 label=Listen\r\n"
                              "Button 1 address=https://example.com/?q=%title%\r\n"
                              "Button 2=2\r\n"
                              "Button 2 label=L2\r\n"
                              "Button 2 address=A2\r\n"
                              "Share on Discord=0\r\n";
    EXPECT_EQ(cfg_format(settings), std::string(default_settings_file) + newer);
    cfg_settings read;
    cfg_parse(cfg_format(settings), &read);
    EXPECT_EQ(read, settings);

    cfg_settings one;
    one.button_2 = cfg_button_station_page;
    EXPECT_EQ(cfg_format(one), std::string(default_settings_file) + "Button 2=4\r\n");
}

TEST(settings_file_text, written_with_templates_loses_nothing_for_a_reader_that_refuses_the_newer_keys)
{
    cfg_settings written = mixed_settings();
    written.title_line = " ;[Display configuration]\nDisplay title=1";
    written.button_1_address = std::string(300, '=') + ";Display artist name=1";
    const std::string text = cfg_format(written);
    cfg_settings older;
    EXPECT_EQ(ini_read_text(text, &six_key_handler, &older), 8) << "the first refused line";
    older.status_display_type = written.status_display_type;
    older.hide_while_paused = written.hide_while_paused;
    older.title_line = written.title_line;
    older.button_1_address = written.button_1_address;
    EXPECT_EQ(older, written);
}

struct newer_range_case {
    const char *key;
    int32_t cfg_settings::*field;
    const char *value;
    int32_t expected;
};

TEST(settings_keys, of_the_newer_numbers_take_their_range_and_else_their_defaults)
{
    const newer_range_case cases[] = {
        {"Header shows", &cfg_settings::header_shows, "2", 2},
        {"Header shows", &cfg_settings::header_shows, "3", 0},
        {"Header shows", &cfg_settings::header_shows, "-1", 0},
        {"Button 1", &cfg_settings::button_1, "5", 5},
        {"Button 1", &cfg_settings::button_1, "6", 0},
        {"Button 2", &cfg_settings::button_2, "4", 4},
        {"Button 2", &cfg_settings::button_2, "x", 0},
        {"Share on Discord", &cfg_settings::share_on_discord, "0", 0},
        {"Share on Discord", &cfg_settings::share_on_discord, "7", 1},
        {"Share on Discord", &cfg_settings::share_on_discord, "off", 0},
    };
    for (const newer_range_case &test : cases) {
        cfg_settings settings;
        settings.*test.field = 1;
        EXPECT_EQ(cfg_set_value(&settings, test.key, test.value), 1);
        EXPECT_EQ(settings.*test.field, test.expected) << test.key << "=" << test.value;
    }
}

TEST(settings_keys, are_exact_and_unknown_keys_change_nothing)
{
    cfg_settings settings;
    EXPECT_EQ(cfg_set_value(&settings, "Display song information", "0"), 1);
    EXPECT_EQ(settings.display_song_info, 0);
    EXPECT_EQ(cfg_set_value(&settings, "Display song info", "0"), 0);
    EXPECT_EQ(cfg_handler(&settings, "Other", "Display title", "0"), 0);
    EXPECT_EQ(settings.display_title, 1);
}

TEST(settings_changes, name_the_keys_that_differ_in_the_files_order)
{
    cfg_settings after;
    after.share_on_discord = 0;
    after.display_title = 0;
    after.button_1_label = "x";
    EXPECT_EQ(cfg_changed_keys(cfg_settings{}, after),
              (std::vector<std::string>{"Display title", "Button 1 label", "Share on Discord"}));
    EXPECT_TRUE(cfg_changed_keys(after, after).empty());
}

TEST(settings_changes, merge_into_the_file_as_it_stands_and_take_its_other_values)
{
    cfg_settings in_force;
    in_force.display_title = 0;
    in_force.title_line = " %title% ";
    const std::string file = "; mine\n[Display configuration]\nDisplay album name = 0\nDisplay title=1\n";
    const cfg_merge merge = cfg_merge_changes(file, in_force, {"Display title", "Title line"});
    EXPECT_TRUE(merge.writes);
    EXPECT_EQ(merge.text, "; mine\n[Display configuration]\nDisplay album name = 0\nDisplay title=0\n"
                          "Title line=\" %title% \"\n");
    cfg_settings expected = in_force;
    expected.display_album_name = 0;
    EXPECT_EQ(merge.settings, expected);
}

TEST(settings_changes, that_the_file_holds_already_write_nothing)
{
    cfg_settings in_force;
    in_force.display_title = 0;
    const std::string file = "[Display configuration]\r\nDisplay title = 00 ; off\r\n";
    const cfg_merge merge = cfg_merge_changes(file, in_force, {"Display title"});
    EXPECT_FALSE(merge.writes);
    EXPECT_EQ(merge.text, file);
    EXPECT_FALSE(cfg_merge_changes(file, in_force, {}).writes);
}

TEST(settings_changes, without_a_file_write_the_whole_settings)
{
    cfg_settings in_force;
    in_force.display_title = 0;
    const cfg_merge merge = cfg_merge_changes(std::nullopt, in_force, {"Display title"});
    EXPECT_TRUE(merge.writes);
    EXPECT_EQ(merge.text, cfg_format(in_force));
    EXPECT_EQ(merge.settings, in_force);
}

} // namespace
