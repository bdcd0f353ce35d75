// INI editor: the lines an edit changes, appends or drops, and that every
// other byte stays; each edited text read again gives what the edit meant.
#include "config/ini_editor.h"
#include "ini_edit_check.h"

#include <gtest/gtest.h>

namespace {

struct edit_case {
    const char *what;
    std::string text;
    std::vector<ini_entry_edit> edits;
    std::string expected;
};

const std::string section = "Display configuration";

const edit_case edit_cases[] = {
    {"a changed entry is rewritten in place and nothing else moves",
     "; mine\r\n[Display configuration]\r\nDisplay title = 1 ; shown\r\nShow elapsed time=1\r\n",
     {{"Display title", "0"}},
     "; mine\r\n[Display configuration]\r\nDisplay title=0\r\nShow elapsed time=1\r\n"},
    {"line feeds stay line feeds and unknown lines stay",
     "[Display configuration]\nunknown=7\nno separator\nDisplay title:1\n# note\n",
     {{"Display title", "0"}},
     "[Display configuration]\nunknown=7\nno separator\nDisplay title=0\n# note\n"},
    {"a missing entry follows the section's last entry, before blank lines and the next section",
     "[Display configuration]\nDisplay title=1\n\n; other\n[Other]\nx=1\n",
     {{"Hide while paused", "1"}, {"Title line", "%title%"}},
     "[Display configuration]\nDisplay title=1\nHide while paused=1\nTitle line=%title%\n\n; "
     "other\n[Other]\nx=1\n"},
    {"a missing section is added with the text's line end",
     "[Other]\nx=1",
     {{"Display title", "0"}},
     "[Other]\nx=1\n[Display configuration]\nDisplay title=0\n"},
    {"an empty text gets the section with CR LF",
     "",
     {{"Display title", "0"}},
     "[Display configuration]\r\nDisplay title=0\r\n"},
    {"every occurrence is set and a continuation that would undo it goes",
     "[Display configuration]\r\nDisplay title=1\r\n  1\r\n; c\r\nDisplay title=1\r\n",
     {{"Display title", "0"}},
     "[Display configuration]\r\nDisplay title=0\r\n; c\r\nDisplay title=0\r\n"},
    {"the same key in another section stays",
     "Display title=1\n[Other]\nDisplay title=1\n[Display configuration]\nDisplay title=1\n",
     {{"Display title", "0"}},
     "Display title=1\n[Other]\nDisplay title=1\n[Display configuration]\nDisplay title=0\n"},
    {"a missing entry goes to the section's last occurrence",
     "[Display configuration]\na=1\n[Other]\n[Display configuration]\nb=1\n[Last]\n",
     {{"Display title", "0"}},
     "[Display configuration]\na=1\n[Other]\n[Display configuration]\nb=1\nDisplay title=0\n[Last]\n"},
    {"an indented line that would continue an inserted entry sends it to a new section at the end",
     "[Display configuration]\n  [Other]\nb=1\n",
     {{"Display title", "0"}},
     "[Display configuration]\n  [Other]\nb=1\n[Display configuration]\nDisplay title=0\n"},
    {"a commented-out entry is no entry",
     "[Display configuration]\r\n;Display title=1\r\n",
     {{"Display title", "0"}},
     "[Display configuration]\r\nDisplay title=0\r\n;Display title=1\r\n"},
    {"a last line without a line end keeps none",
     "[Display configuration]\r\nDisplay title=1",
     {{"Display title", "0"}},
     "[Display configuration]\r\nDisplay title=0"},
    {"an entry appended after a last line without a line end gets one",
     "\xEF\xBB\xBF[Display configuration]\nDisplay title=1",
     {{"Hide while paused", "1"}},
     "\xEF\xBB\xBF[Display configuration]\nDisplay title=1\nHide while paused=1\n"},
    {"a CR alone ends no line: what follows the header on its line is no entry",
     "[Display configuration]\rDisplay title=1\r\n",
     {{"Display title", "0"}},
     "[Display configuration]\rDisplay title=1\r\nDisplay title=0\r\n"},
    {"an inline comment before the ']' or the '=' makes no section and no entry",
     "[Display configuration ;]\nDisplay title ;=1\n",
     {{"Display title", "0"}},
     "[Display configuration ;]\nDisplay title ;=1\n[Display configuration]\nDisplay title=0\n"},
    {"no edits change nothing",
     "[Display configuration]\nDisplay title = 1 \n",
     {},
     "[Display configuration]\nDisplay title = 1 \n"},
};

class ini_edits : public testing::TestWithParam<edit_case> {};

TEST_P(ini_edits, change_only_the_edited_entries_lines)
{
    const edit_case &test = GetParam();
    const std::string edited = ini_edit_entries(test.text, section, test.edits);
    EXPECT_EQ(edited, test.expected) << test.what;
    EXPECT_EQ(final_values(edited), expected_after_edit(test.text, section, test.edits)) << test.what;
}

INSTANTIATE_TEST_SUITE_P(ini, ini_edits, testing::ValuesIn(edit_cases));

} // namespace
