// Composition of the activity's text lines: the UTF-8 encoding and the
// all-or-nothing rule of each piece, how the settings choose the pieces, and
// the padding of one-character lines.
#include "presence/compose.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

namespace {

using utf16_string = std::basic_string<utf16_char>;

template <typename Text> Text repeated(const Text &piece, size_t times)
{
    Text text;
    for (size_t i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

utf16_string units(std::initializer_list<unsigned> codes)
{
    utf16_string text;
    for (unsigned code : codes) {
        text.push_back(static_cast<utf16_char>(code));
    }
    return text;
}

// A 128-byte activity field filled with a marker, so untouched bytes show.
struct field {
    char bytes[128];
    field() { std::memset(bytes, 'x', sizeof bytes); }
    bool untouched() const { return std::string(bytes, sizeof bytes) == std::string(128, 'x'); }
};

std::string test_name(std::string description)
{
    for (char &c : description) {
        c = isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return description;
}

struct append_case {
    const char *what;
    utf16_string text;
    unsigned offset;
    int appended;
    std::optional<std::string> written; // the field from `offset` on; none: untouched
};

class appending : public testing::TestWithParam<append_case> {};

TEST_P(appending, writes_the_piece_whole_with_its_terminator_or_leaves_the_field_alone)
{
    const append_case &test = GetParam();
    field target;
    EXPECT_EQ(utf8_append(test.text, target.bytes, test.offset), test.appended);
    if (test.written) {
        EXPECT_EQ(std::string(target.bytes + test.offset), *test.written);
    } else {
        EXPECT_TRUE(target.untouched());
    }
}

const std::string sun = "\xE6\x97\xA5"; // U+65E5 in UTF-8

INSTANTIATE_TEST_SUITE_P(
    pieces, appending,
    testing::Values(
        append_case{"ascii", UTF16("Blue"), 0, 4, "Blue"},
        append_case{"two byte characters", UTF16("Fr\u00e9d\u00e9ric"), 0, 10,
                    "Fr\xC3\xA9"
                    "d\xC3\xA9ric"},
        append_case{"three byte character", UTF16("\u65e5"), 5, 3, sun},
        append_case{"surrogate pair", UTF16("\U0001F3B5"), 0, 4, "\xF0\x9F\x8E\xB5"},
        append_case{"126 bytes fit", repeated<utf16_string>(UTF16("a"), 126), 0, 126, std::string(126, 'a')},
        append_case{"127 bytes do not", repeated<utf16_string>(UTF16("a"), 127), 0, 0, std::nullopt},
        append_case{"42 three byte characters fit", repeated<utf16_string>(UTF16("\u65e5"), 42), 0, 126,
                    repeated(sun, 42)},
        append_case{"43 do not", repeated<utf16_string>(UTF16("\u65e5"), 43), 0, 0, std::nullopt},
        append_case{"up to the limit after an offset", UTF16("abcdef"), 120, 6, "abcdef"},
        append_case{"one byte past it", UTF16("abcdefg"), 120, 0, std::nullopt},
        append_case{"unpaired high surrogate at the end", units({'a', 0xD83C}), 0, 0, std::nullopt},
        append_case{"unpaired low surrogate", units({0xDFB5, 'a'}), 0, 0, std::nullopt},
        append_case{"high surrogate before a letter", units({0xD83C, 'a'}), 0, 0, std::nullopt},
        append_case{"empty text writes the terminator only", UTF16(""), 3, 0, ""},
        append_case{"offset at the limit", UTF16("a"), 127, 0, std::nullopt}),
    [](const auto &info) { return test_name(info.param.what); });

cfg_settings all_on()
{
    return cfg_settings{};
}

struct line_case {
    const char *what;
    cfg_settings settings;
    utf16_string title, artist, album;
    int playback_state;
    std::string state, details;
};

class composing : public testing::TestWithParam<line_case> {};

TEST_P(composing, joins_the_pieces_the_settings_show_as_far_as_they_fit)
{
    const line_case &test = GetParam();
    char state[128] = {}, details[128] = {};
    compose_state(state, test.settings, test.title, test.playback_state);
    compose_details(details, test.settings, test.artist, test.album);
    EXPECT_EQ(state, test.state);
    EXPECT_EQ(details, test.details);
}

cfg_settings with(int32_t cfg_settings::*field, int32_t value)
{
    cfg_settings settings;
    settings.*field = value;
    return settings;
}

const std::string a116(116, 'a'), a117(117, 'a'), a126(126, 'a');
const utf16_string w116 = repeated<utf16_string>(UTF16("a"), 116),
                   w117 = repeated<utf16_string>(UTF16("a"), 117),
                   w126 = repeated<utf16_string>(UTF16("a"), 126),
                   w124 = repeated<utf16_string>(UTF16("a"), 124);

INSTANTIATE_TEST_SUITE_P(
    lines, composing,
    testing::Values(line_case{"everything playing", all_on(), UTF16("Blue"), UTF16("The Band"),
                              UTF16("First Album"), 1, "Blue (Playing)", "The Band - First Album"},
                    line_case{"paused reads stopped", all_on(), UTF16("Blue"), UTF16("The Band"), UTF16(""),
                              3, "Blue (Stopped)", "The Band"},
                    line_case{"no song information", with(&cfg_settings::display_song_info, 0), UTF16("Blue"),
                              UTF16("The Band"), UTF16("First Album"), 1, "(Playing)", ""},
                    line_case{"no artist name", with(&cfg_settings::display_artist_name, 0), UTF16("Blue"),
                              UTF16("The Band"), UTF16("First Album"), 1, "Blue (Playing)", "First Album"},
                    line_case{"no album name", with(&cfg_settings::display_album_name, 0), UTF16(""),
                              UTF16("The Band"), UTF16("First Album"), 1, "(Playing)", "The Band"},
                    line_case{"title of 116 bytes", all_on(), w116, UTF16(""), UTF16(""), 1,
                              a116 + " (Playing)", ""},
                    line_case{"title of 117 bytes", all_on(), w117, UTF16(""), UTF16(""), 1, a117 + " ", ""},
                    line_case{"title of 126 bytes", all_on(), w126, UTF16(""), UTF16(""), 1, a126, ""},
                    line_case{"artist leaving no room for the separator", all_on(), UTF16(""), w124,
                              UTF16("x"), 1, "(Playing)", std::string(124, 'a')}),
    [](const auto &info) { return test_name(info.param.what); });

struct padding_case {
    const char *what;
    const char *line, *padded;
};

class padding : public testing::TestWithParam<padding_case> {};

TEST_P(padding, gives_a_one_character_line_an_invisible_second_character)
{
    char line[128] = {};
    std::strcpy(line, GetParam().line);
    pad_single_character(line);
    EXPECT_STREQ(line, GetParam().padded);
}

INSTANTIATE_TEST_SUITE_P(
    lines, padding,
    testing::Values(padding_case{"one letter", "A", "A\xE2\x80\x8B"},
                    padding_case{"one two byte letter", "\xC3\xA9", "\xC3\xA9\xE2\x80\x8B"},
                    padding_case{"one character beyond the BMP", "\xF0\x9F\x8E\xB5",
                                 "\xF0\x9F\x8E\xB5\xE2\x80\x8B"},
                    padding_case{"two letters", "AB", "AB"}, padding_case{"empty", "", ""}),
    [](const auto &info) { return test_name(info.param.what); });

} // namespace
