// INI reader: each syntax rule, and the same handler calls and result as the
// reference INI library (default build) on every text of the table.
#include "config/ini_reader.h"
#include "ini_harness.h"

#include <gtest/gtest.h>

#include <ini.h>

namespace {

ini_outcome ours(const std::string &text)
{
    return run_reader(&ini_read_default_lines, text);
}

ini_outcome reference(const std::string &text)
{
    return run_reader(&ini_parse_stream, text);
}

struct ini_case {
    const char *what;
    std::string text;
    ini_outcome expected;
};

const std::string long_section(60, 'S');
const std::string long_name(60, 'n');

const ini_case ini_cases[] = {
    {"empty text", "", {}},
    {"entries under a section", "[s]\r\na=1\r\nb = 2 \r\n", {{{"s", "a", "1"}, {"s", "b", "2"}}, 0}},
    {"entry before any section", "a=1\n[s]\nb=2\n", {{{"", "a", "1"}, {"s", "b", "2"}}, 0}},
    {"colon separator and the first separator wins",
     "[s]\na:1\nb=c:d\ne:f=g\n",
     {{{"s", "a", "1"}, {"s", "b", "c:d"}, {"s", "e", "f=g"}}, 0}},
    {"byte-order mark on the first line only",
     "\xEF\xBB\xBF[s]\na=1\n\xEF\xBB\xBF"
     "b=2\n",
     {{{"s", "a", "1"},
       {"s",
        "\xEF\xBB\xBF"
        "b",
        "2"}},
      0}},
    {"comment lines", "; c\n# c\n  ; indented\n[s]\n;a=1\n#b=2\n", {}},
    {"inline comment needs white space before it",
     "[s]\na=1 ; note\nb=0;1\nc=x\t;y\n",
     {{{"s", "a", "1"}, {"s", "b", "0;1"}, {"s", "c", "x"}}, 0}},
    {"hash is no inline comment", "[s]\na=1 # x\n", {{{"s", "a", "1 # x"}}, 0}},
    {"blank lines and white space", "\n  \n\t\n[s]\n   a   =   1   \n\n", {{{"s", "a", "1"}}, 0}},
    {"section taken as written and cut",
     "[ s ]\na=1\n[" + long_section + "]\nb=2\n",
     {{{" s ", "a", "1"}, {long_section.substr(0, 49), "b", "2"}}, 0}},
    {"continuation line",
     "[s]\na=1\n  0\n\tmore ; c\n",
     {{{"s", "a", "1"}, {"s", "a", "0"}, {"s", "a", "more ; c"}}, 0}},
    {"continuation keeps a cut name",
     "[s]\n" + long_name + "=1\n  2\n",
     {{{"s", long_name, "1"}, {"s", long_name.substr(0, 49), "2"}}, 0}},
    {"no continuation right after a section", "[s]\n  a=1\n", {{{"s", "a", "1"}}, 0}},
    {"malformed lines do not stop the read", "[s\nnovalue\n[t]\na=1\n", {{{"t", "a", "1"}}, 1}},
    {"first error line is reported",
     "[s]\na=1\nbad\nrefuse=1\n",
     {{{"s", "a", "1"}, {"s", "refuse", "1"}}, 3}},
    {"a refused entry is an error", "[s]\nrefuse=1\nb=2\n", {{{"s", "refuse", "1"}, {"s", "b", "2"}}, 2}},
    {"empty name and empty value", "[s]\n=1\na=\n", {{{"s", "", "1"}, {"s", "a", ""}}, 0}},
    {"a long line arrives in pieces",
     "[s]\na=" + std::string(250, 'x') + "\n",
     {{{"s", "a", std::string(197, 'x')}}, 3}},
    {"carriage returns alone do not end lines", "[s]\ra=1\rb=2", {{}, 0}},
};

class ini_rules : public testing::TestWithParam<ini_case> {};

TEST_P(ini_rules, give_the_expected_calls_and_match_the_reference_library)
{
    const ini_case &test = GetParam();
    const ini_outcome outcome = ours(test.text);
    EXPECT_EQ(outcome, test.expected) << test.what;
    EXPECT_EQ(outcome, reference(test.text)) << test.what;
}

INSTANTIATE_TEST_SUITE_P(ini, ini_rules, testing::ValuesIn(ini_cases));

ini_outcome whole_lines(const std::string &text)
{
    ini_outcome outcome;
    outcome.result = ini_read_whole_lines(text, &recording_handler, &outcome);
    return outcome;
}

TEST(ini_whole_lines, take_a_long_line_as_one_entry)
{
    const std::string value = std::string(250, 'x') + "=y: z";
    const ini_outcome expected{{{"s", "a", value}, {"s", "b", "2"}}, 0};
    EXPECT_EQ(whole_lines("[s]\na=" + value + "\nb=2"), expected);
    EXPECT_EQ(whole_lines("[s]\r\na=" + value + " ; c\r\nb=2\r\n"), expected);
}

TEST(ini_whole_lines, read_short_lines_as_the_reference_library_does)
{
    for (const ini_case &test : ini_cases) {
        if (longest_line(test.text) < ini_line_size - 1) {
            EXPECT_EQ(whole_lines(test.text), reference(test.text)) << test.what;
        }
    }
}

} // namespace
