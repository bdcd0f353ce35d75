// What an edit by ini_edit_entries must leave a reader to see: the edited
// entries of the section with their new values, and every other entry of the
// text with the value it had. Shared by the editor's tests and fuzz target.
#pragma once

#include "config/ini_editor.h"
#include "config/ini_reader.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

using ini_final_values = std::map<std::pair<std::string, std::string>, std::string>;

inline int record_final_value(void *user, const char *section, const char *name, const char *value)
{
    (*static_cast<ini_final_values *>(user))[{section, name}] = value;
    return 1;
}

// The value each (section, name) has once the reader has read the whole text.
inline ini_final_values final_values(const std::string &text)
{
    ini_final_values values;
    ini_read_whole_lines(text, &record_final_value, &values);
    return values;
}

// The values a reader should see in `edited`, the text that results from `edits` to `text`.
inline ini_final_values expected_after_edit(const std::string &text, const std::string &section,
                                            const std::vector<ini_entry_edit> &edits)
{
    ini_final_values values = final_values(text);
    for (const ini_entry_edit &edit : edits) {
        values[{section, edit.name}] = edit.value;
    }
    return values;
}
