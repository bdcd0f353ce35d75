// Composition of the activity's text lines: the cut of a text too long for
// its room (between grapheme clusters, at every byte length through texts of
// several scripts), how the settings choose the pieces and share the room, and
// the padding of one-character lines.
#include "presence/compose.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

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

std::string test_name(std::string description)
{
    for (char &c : description) {
        c = isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return description;
}

const std::string sun = "\xE6\x97\xA5";           // U+65E5, 3 bytes
const std::string note = "\xF0\x9F\x8E\xB5";      // U+1F3B5, 4 bytes
const std::string e_acute = "\xC3\xA9";           // U+00E9, 2 bytes
const std::string ellipsis = "\xE2\x80\xA6";      // U+2026
const std::string acute_mark = "\xCC\x81";        // U+0301 COMBINING ACUTE ACCENT
const std::string joiner = "\xE2\x80\x8D";        // U+200D ZERO WIDTH JOINER
const std::string skin_tone = "\xF0\x9F\x8F\xBD"; // U+1F3FD
const std::string woman = "\xF0\x9F\x91\xA9", girl = "\xF0\x9F\x91\xA7";
const std::string ab = "ab", a = "a";
const std::string family = woman + joiner + woman + joiner + girl; // 18 bytes
const std::string flag_fr = "\U0001F1EB\U0001F1F7";                // two regional indicators, 8 bytes
const std::string kssa = "\u0915\u094D\u0937"; // क्ष: KA, the virama, SSA; one conjunct of 9 bytes

struct fit_case {
    const char *what;
    std::string text;
    size_t limit;
    std::string fitted;
};

class fitting : public testing::TestWithParam<fit_case> {};

TEST_P(fitting, keeps_what_fits_and_cuts_between_characters_with_an_ellipsis)
{
    const fit_case &test = GetParam();
    const std::string fitted = fit_text(test.text, test.limit);
    EXPECT_EQ(fitted, test.fitted);
    EXPECT_LE(fitted.size(), test.limit);
}

INSTANTIATE_TEST_SUITE_P(
    texts, fitting,
    testing::Values(
        fit_case{"ascii that fits", "Blue", 126, "Blue"},
        fit_case{"ascii exactly at the limit", std::string(126, 'a'), 126, std::string(126, 'a')},
        fit_case{"ascii one byte over", std::string(127, 'a'), 126, std::string(123, 'a') + ellipsis},
        fit_case{"two byte characters cut between them", repeated(e_acute, 64), 126,
                 repeated(e_acute, 61) + ellipsis},
        fit_case{"42 three byte characters fit", repeated(sun, 42), 126, repeated(sun, 42)},
        fit_case{"43 three byte characters are cut", repeated(sun, 43), 126, repeated(sun, 41) + ellipsis},
        fit_case{"four byte characters cut between them", repeated(note, 32), 126,
                 repeated(note, 30) + ellipsis},
        fit_case{"a cut inside a sequence backs up to its start", ab + note + "cd", 7, ab + ellipsis},
        fit_case{"a letter keeps its combining mark or goes with it",
                 std::string(4, 'a') + "e" + acute_mark + "xyz", 8, std::string(4, 'a') + ellipsis},
        fit_case{"a skin tone stays with its emoji", ab + woman + skin_tone + "cdef", 9, ab + ellipsis},
        fit_case{"no joiner is left dangling", ab + family + "cd", 18, ab + ellipsis},
        fit_case{"a whole emoji sequence that fits stays", ab + family + "cdef", 23, ab + family + ellipsis},
        fit_case{"one character with more marks than the room is cut whole",
                 a + repeated(acute_mark, 10) + "b", 10, ellipsis},
        fit_case{"a flag is never split", ab + flag_fr + "cde", 12, ab + ellipsis},
        fit_case{"twenty conjuncts cut between conjuncts, never after a virama", repeated(kssa, 20), 126,
                 repeated(kssa, 13) + ellipsis},
        fit_case{"room for the ellipsis only", "abcdef", 3, ellipsis},
        fit_case{"no room for the ellipsis", "abcdef", 2, ""}),
    [](const auto &info) { return test_name(info.param.what); });

// Texts of several scripts as the clusters a reader sees (Unicode 17.0's
// extended grapheme clusters), each cluster a string of its own.
struct script_case {
    const char *what;
    std::vector<std::string> clusters;
};

class cutting_scripts : public testing::TestWithParam<script_case> {};

TEST_P(cutting_scripts, keeps_whole_clusters_at_every_byte_length)
{
    std::string text;
    for (const std::string &cluster : GetParam().clusters) {
        text += cluster;
    }
    for (size_t limit = 0; limit <= text.size(); ++limit) {
        std::string expected;
        if (limit == text.size()) {
            expected = text;
        } else if (limit >= ellipsis.size()) {
            for (const std::string &cluster : GetParam().clusters) {
                if (expected.size() + cluster.size() > limit - ellipsis.size()) {
                    break;
                }
                expected += cluster;
            }
            expected += ellipsis;
        }
        EXPECT_EQ(fit_text(text, limit), expected) << "within " << limit;
    }
}

INSTANTIATE_TEST_SUITE_P(
    texts, cutting_scripts,
    testing::Values(
        script_case{"flags",
                    {"\U0001F1EB\U0001F1F7", "\U0001F1E9\U0001F1EA", "\U0001F1EF\U0001F1F5", "\U0001F1EB"}},
        script_case{"emoji sequences",
                    {family, woman + skin_tone, "1\uFE0F\u20E3", "\U0001F3F3\uFE0F\u200D\U0001F308", "a"}},
        // हिन्दी: HA with the vowel sign I, then the conjunct NA, virama, DA with the vowel sign II.
        script_case{"devanagari", {"\u0939\u093F", "\u0928\u094D\u0926\u0940", " ", "\u0915\u0902"}},
        // क्षत्रिय: the conjuncts KA virama SSA, and TA virama RA with the vowel sign I;
        // then YA, and a virama followed by a joiner before the next consonant.
        script_case{"devanagari conjuncts",
                    {"\u0915\u094D\u0937", "\u0924\u094D\u0930\u093F", "\u092F", "\u0915\u094D\u200D\u0937",
                     "\u0915"}},
        // ক্ষ and త్త: the same joining in Bengali and Telugu.
        script_case{"bengali and telugu conjuncts", {"\u0995\u09CD\u09B7", "\u0C24\u0C4D\u0C24", "a"}},
        // ที่น้ำไทย: letters with their tone marks and vowel signs, then three lone letters.
        script_case{"thai", {"\u0E17\u0E35\u0E48", "\u0E19\u0E49\u0E33", "\u0E44", "\u0E17", "\u0E22"}},
        // مَرْحَبًا, then the number sign that belongs before its digits.
        script_case{"arabic with marks",
                    {"\u0645\u064E", "\u0631\u0652", "\u062D", "\u0628\u064B", "\u0627", " ", "\u0600\u0661",
                     "\u0662"}},
        // שָׁלוֹם
        script_case{"hebrew with points", {"\u05E9\u05B8\u05C1", "\u05DC", "\u05D5\u05B9", "\u05DD"}},
        // 한국 as conjoining jamo, a precomposed syllable with a trailing jamo, then LVT before a vowel.
        script_case{"hangul jamo",
                    {"\u1112\u1161\u11AB", "\u1100\u116E\u11A8", "\uAC00\u11A8", "\uAC01", "\u1161"}},
        script_case{"decomposed latin", {"e\u0301", "t", "e\u0301\u0323", "\r\n", "x"}}),
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

TEST_P(composing, joins_the_pieces_the_settings_show_within_the_field)
{
    const line_case &test = GetParam();
    const std::string state = compose_state(test.settings, test.title, test.playback_state);
    const std::string details = compose_details(test.settings, test.artist, test.album);
    EXPECT_EQ(state, test.state);
    EXPECT_EQ(details, test.details);
    EXPECT_LE(state.size(), field_text_limit);
    EXPECT_LE(details.size(), field_text_limit);
}

cfg_settings with(int32_t cfg_settings::*field, int32_t value)
{
    cfg_settings settings;
    settings.*field = value;
    return settings;
}

const std::string a116(116, 'a'), a113(113, 'a');
const utf16_string w116 = repeated<utf16_string>(UTF16("a"), 116),
                   w117 = repeated<utf16_string>(UTF16("a"), 117),
                   w200 = repeated<utf16_string>(UTF16("a"), 200),
                   w20 = repeated<utf16_string>(UTF16("b"), 20),
                   b200 = repeated<utf16_string>(UTF16("b"), 200),
                   sun43 = repeated<utf16_string>(UTF16("\u65e5"), 43);

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
                    line_case{"title exactly filling its room", all_on(), w116, UTF16(""), UTF16(""), 1,
                              a116 + " (Playing)", ""},
                    line_case{"title one byte over its room", all_on(), w117, UTF16(""), UTF16(""), 1,
                              a113 + ellipsis + " (Playing)", ""},
                    line_case{"43 CJK characters keep the play state", all_on(), sun43, UTF16(""), UTF16(""),
                              3, repeated(sun, 37) + ellipsis + " (Stopped)", ""},
                    line_case{"an unpaired surrogate becomes a replacement character", all_on(),
                              units({'a', 0xD83C, 'b'}), units({0xDFB5}), UTF16(""), 1,
                              "a\xEF\xBF\xBD"
                              "b (Playing)",
                              "\xEF\xBF\xBD"},
                    line_case{"a long artist still leaves room for a short album", all_on(), UTF16(""), w200,
                              UTF16("x"), 1, "(Playing)", std::string(119, 'a') + ellipsis + " - x"},
                    line_case{"a short artist leaves the rest to a long album", all_on(), UTF16(""), w20,
                              w200, 1, "(Playing)",
                              std::string(20, 'b') + " - " + std::string(100, 'a') + ellipsis},
                    line_case{"two long ones share the line", all_on(), UTF16(""), w200, b200, 1, "(Playing)",
                              std::string(58, 'a') + ellipsis + " - " + std::string(59, 'b') + ellipsis},
                    line_case{"a long album alone", with(&cfg_settings::display_artist_name, 0), UTF16(""),
                              w20, w200, 1, "(Playing)", std::string(123, 'a') + ellipsis}),
    [](const auto &info) { return test_name(info.param.what); });

struct padding_case {
    const char *what;
    const char *line, *padded;
};

class padding : public testing::TestWithParam<padding_case> {};

TEST_P(padding, gives_a_one_character_line_an_invisible_second_character)
{
    std::string line = GetParam().line;
    pad_single_character(line);
    EXPECT_EQ(line, GetParam().padded);
}

INSTANTIATE_TEST_SUITE_P(
    lines, padding,
    testing::Values(padding_case{"one letter", "A", "A\xE2\x80\x8B"},
                    padding_case{"one two byte letter", "\xC3\xA9", "\xC3\xA9\xE2\x80\x8B"},
                    padding_case{"one character beyond the BMP", "\xF0\x9F\x8E\xB5",
                                 "\xF0\x9F\x8E\xB5\xE2\x80\x8B"},
                    padding_case{"two letters", "AB", "AB"}, padding_case{"empty", "", ""}),
    [](const auto &info) { return test_name(info.param.what); });

struct characters_case {
    const char *what;
    std::string text;
    size_t limit;
    std::string fitted;
};

class fitting_characters : public testing::TestWithParam<characters_case> {};

TEST_P(fitting_characters, counts_utf16_units_and_cuts_between_clusters)
{
    EXPECT_EQ(fit_characters(GetParam().text, GetParam().limit), GetParam().fitted);
}

INSTANTIATE_TEST_SUITE_P(
    labels, fitting_characters,
    testing::Values(characters_case{"fits", "Track page", 32, "Track page"},
                    characters_case{"exactly the limit", std::string(32, 'a'), 32, std::string(32, 'a')},
                    characters_case{"one past", std::string(33, 'a'), 32, std::string(31, 'a') + "\u2026"},
                    characters_case{"a letter and its accent stay together",
                                    "abc"
                                    "e\xCC\x81"
                                    "fg",
                                    5, "abc\u2026"},
                    // Each of these emoji is two UTF-16 units.
                    characters_case{"beyond the BMP counts twice", "\xF0\x9F\x8E\xB5\xF0\x9F\x8E\xB5x", 4,
                                    "\xF0\x9F\x8E\xB5\u2026"},
                    characters_case{"nothing fits", "ab", 0, ""}),
    [](const auto &info) { return test_name(info.param.what); });

} // namespace
