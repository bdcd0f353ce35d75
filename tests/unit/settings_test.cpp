// Settings rules: how file texts set the record, and the exact bytes written.
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

TEST(settings_file_text, is_written_as_157_bytes_at_the_defaults_and_reads_back)
{
    const std::string expected = default_settings_file;
    EXPECT_EQ(cfg_format(cfg_settings{}), expected);
    EXPECT_EQ(expected.size(), 157u);

    cfg_settings mixed;
    mixed.display_artist_name = 0;
    mixed.show_elapsed_time = 0;
    const std::string text = cfg_format(mixed);
    EXPECT_EQ(text.substr(text.size() - 21), "Show elapsed time=0\r\n");
    cfg_settings all_on;
    const cfg_settings read_back = load_text(text, all_on);
    EXPECT_EQ(cfg_format(read_back), text);
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

} // namespace
