// The plug-in's own fields of a template: what each holds for a file and a
// stream, the display boxes that empty them, a stream's other tags kept
// from the host, and an address's fields percent-encoded.
#include "presence/title_fields.h"

#include <gtest/gtest.h>

#include <string>

namespace {

title_fields blue_file()
{
    title_fields fields;
    fields.title = UTF16("Blue");
    fields.artist = UTF16("The Band");
    fields.album = UTF16("First Album");
    return fields;
}

title_fields radio_song()
{
    title_fields fields;
    fields.stream = true;
    fields.title = UTF16("The Weight");
    fields.artist = UTF16("The Band");
    fields.station = UTF16("Radio Corvane");
    return fields;
}

cfg_settings with_box_off(int32_t cfg_settings::*box)
{
    cfg_settings settings;
    settings.*box = 0;
    return settings;
}

struct field_case {
    const char *what;
    title_fields fields;
    cfg_settings settings;
    const utf16_char *tag;
    title_field_kind kind;
    const char *text; // UTF-8 of the answer's text
};

class answers : public testing::TestWithParam<field_case> {};

TEST_P(answers, are_the_plug_ins_own_fields_under_the_boxes)
{
    const field_case &test = GetParam();
    const title_field_answer answer = answer_title_field(test.fields, test.settings, test.tag, false);
    EXPECT_EQ(answer.kind, test.kind);
    EXPECT_EQ(utf16_to_utf8(answer.text), test.text);
}

const title_fields paused = [] {
    title_fields fields = blue_file();
    fields.playback_state = 3;
    return fields;
}();

INSTANTIATE_TEST_SUITE_P(
    fields, answers,
    testing::Values(
        field_case{
            "play state playing", blue_file(), {}, UTF16("playstate"), title_field_kind::text, "(Playing)"},
        field_case{"play state paused", paused, {}, UTF16("playstate"), title_field_kind::text, "(Stopped)"},
        field_case{
            "names ignore case", blue_file(), {}, UTF16("PlayState"), title_field_kind::text, "(Playing)"},
        field_case{"file title", blue_file(), {}, UTF16("title"), title_field_kind::text, "Blue"},
        field_case{"file artist", blue_file(), {}, UTF16("ARTIST"), title_field_kind::text, "The Band"},
        field_case{"file album", blue_file(), {}, UTF16("album"), title_field_kind::text, "First Album"},
        field_case{"file has no station", blue_file(), {}, UTF16("station"), title_field_kind::empty, ""},
        field_case{
            "file genre is the host's", blue_file(), {}, UTF16("genre"), title_field_kind::not_mine, ""},
        field_case{
            "file name is the host's", blue_file(), {}, UTF16("filename"), title_field_kind::not_mine, ""},
        field_case{"title box off", blue_file(), with_box_off(&cfg_settings::display_title), UTF16("title"),
                   title_field_kind::empty, ""},
        field_case{"artist box off", blue_file(), with_box_off(&cfg_settings::display_artist_name),
                   UTF16("artist"), title_field_kind::empty, ""},
        field_case{"album box off", blue_file(), with_box_off(&cfg_settings::display_album_name),
                   UTF16("album"), title_field_kind::empty, ""},
        field_case{"song info off", blue_file(), with_box_off(&cfg_settings::display_song_info),
                   UTF16("title"), title_field_kind::empty, ""},
        field_case{"song info off keeps the play state", blue_file(),
                   with_box_off(&cfg_settings::display_song_info), UTF16("playstate"), title_field_kind::text,
                   "(Playing)"},
        field_case{"song info off keeps the host's fields out too", blue_file(),
                   with_box_off(&cfg_settings::display_song_info), UTF16("filename"), title_field_kind::empty,
                   ""},
        field_case{"empty tag", title_fields{}, {}, UTF16("artist"), title_field_kind::empty, ""},
        field_case{
            "stream song title", radio_song(), {}, UTF16("title"), title_field_kind::text, "The Weight"},
        field_case{
            "stream song artist", radio_song(), {}, UTF16("artist"), title_field_kind::text, "The Band"},
        field_case{
            "stream station", radio_song(), {}, UTF16("station"), title_field_kind::text, "Radio Corvane"},
        field_case{"stream album is the station",
                   radio_song(),
                   {},
                   UTF16("album"),
                   title_field_kind::text,
                   "Radio Corvane"},
        field_case{"stream station under the album box", radio_song(),
                   with_box_off(&cfg_settings::display_album_name), UTF16("station"), title_field_kind::empty,
                   ""},
        field_case{
            "stream file name stays out", radio_song(), {}, UTF16("filename"), title_field_kind::empty, ""},
        field_case{"stream folder stays out", radio_song(), {}, UTF16("folder"), title_field_kind::empty, ""},
        field_case{"stream host keys stay out",
                   radio_song(),
                   {},
                   UTF16("streamtitle"),
                   title_field_kind::empty,
                   ""}),
    [](const testing::TestParamInfo<field_case> &info) {
        std::string name = info.param.what;
        for (char &c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    });

TEST(title_fields, of_an_address_are_percent_encoded)
{
    title_fields fields = blue_file();
    fields.artist = UTF16("Sigur Rós & Co/?");
    const title_field_answer answer = answer_title_field(fields, cfg_settings{}, UTF16("artist"), true);
    EXPECT_EQ(answer.kind, title_field_kind::text);
    EXPECT_EQ(utf16_to_utf8(answer.text), "Sigur%20R%C3%B3s%20%26%20Co%2F%3F");
    EXPECT_EQ(answer_title_field(fields, cfg_settings{}, UTF16("genre"), true).kind,
              title_field_kind::not_mine);
}

} // namespace
