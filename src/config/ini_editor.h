// Edits an INI text as a careful user would in an editor: it sets the values
// of some entries of one section and leaves every other byte as it stands.
// Lines are classified exactly as the INI reader classifies them when it
// takes lines whole. No Windows API here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// One entry to set: its name and its value as written after the '=', which
// the INI reader must read back as it is (no line feed, no white space at
// either end, no ';' after white space).
struct ini_entry_edit {
    std::string name;
    std::string value;
};

// `text` with each entry of `section` named in `edits` set to its value:
// every line of such an entry becomes "name=value" with the line end it had,
// and the indented lines that would continue it are dropped. An entry the
// section lacks is appended after the last line of the section's last
// occurrence that is not a comment or blank (or after its header), in the
// order of `edits`; when the section is missing, or a line after that place
// would then be read as the appended entry's continuation, the section is
// added at the end of the text with them. Appended lines end as the text's
// lines do: CR LF when it has any, else LF when it has any, else CR LF.
// Every other line (comments, other sections and entries, malformed lines,
// line ends) stays byte for byte, in its order.
std::string ini_edit_entries(std::string_view text, std::string_view section,
                             const std::vector<ini_entry_edit> &edits);
