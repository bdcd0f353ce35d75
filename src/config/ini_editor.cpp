// INI editor: splits the text into lines, classifies each line as the INI
// reader does (ini_reader.cpp), and rebuilds the text with the edited
// entries' lines replaced and the missing entries inserted.
#include "config/ini_editor.h"

#include "config/ini_reader.h"

#include <cctype>

namespace {

enum class line_kind { comment, section, entry, continuation, malformed };

struct ini_line {
    // The line without its line end, and its line end ("\r\n", "\n" or none).
    std::string_view text;
    std::string_view line_end;
    line_kind kind = line_kind::comment;
    // The section the line is in (for a section line: the one it starts).
    std::string section;
    // The entry an entry or continuation line sets.
    std::string name;
    // The line starts with white space.
    bool indented = false;
};

bool is_space(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// The reader's find_chars_or_comment: the offset of the first of `chars` in
// `s`, or of a ';' that follows white space; s.size() when there is neither.
size_t find_chars_or_comment(std::string_view s, std::string_view chars)
{
    bool was_space = false;
    for (size_t i = 0; i < s.size(); ++i) {
        if (chars.find(s[i]) != std::string_view::npos || (was_space && s[i] == ';')) {
            return i;
        }
        was_space = is_space(s[i]);
    }
    return s.size();
}

std::string_view strip_right(std::string_view s)
{
    while (!s.empty() && is_space(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// The reader keeps sections and continued names to this many bytes.
std::string cut(std::string_view s, int size)
{
    return std::string(s.substr(0, static_cast<size_t>(size - 1)));
}

std::vector<ini_line> split_lines(std::string_view text)
{
    std::vector<ini_line> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t feed = text.find('\n', start);
        ini_line line;
        if (feed == std::string_view::npos) {
            line.text = text.substr(start);
            start = text.size();
        } else {
            const bool crlf = feed > start && text[feed - 1] == '\r';
            line.text = text.substr(start, feed - start - (crlf ? 1 : 0));
            line.line_end = text.substr(feed - (crlf ? 1 : 0), crlf ? 2 : 1);
            start = feed + 1;
        }
        lines.push_back(line);
    }
    return lines;
}

// Classifies every line with the reader's rules and state.
void classify(std::vector<ini_line> &lines)
{
    std::string section;
    std::string previous_name;
    for (size_t number = 0; number < lines.size(); ++number) {
        ini_line &line = lines[number];
        // The reader sees a line as a C string: a NUL ends it.
        std::string_view s = line.text.substr(0, line.text.find('\0'));
        size_t skipped = 0;
        if (number == 0 && s.substr(0, 3) == "\xEF\xBB\xBF") {
            skipped = 3;
        }
        s = strip_right(s.substr(skipped));
        while (!s.empty() && is_space(s.front())) {
            s.remove_prefix(1);
            ++skipped;
        }
        // White space that the strip left (a line of only white space) counts too.
        line.indented = skipped > 0;
        line.section = section;
        if (s.empty() || s.front() == ';' || s.front() == '#') {
            line.kind = line_kind::comment;
        } else if (!previous_name.empty() && line.indented) {
            line.kind = line_kind::continuation;
            line.name = previous_name;
        } else if (s.front() == '[') {
            const size_t end = find_chars_or_comment(s.substr(1), "]");
            if (end < s.size() - 1 && s[end + 1] == ']') {
                section = cut(s.substr(1, end), ini_section_size);
                previous_name.clear();
                line.kind = line_kind::section;
                line.section = section;
            } else {
                line.kind = line_kind::malformed;
            }
        } else {
            const size_t end = find_chars_or_comment(s, "=:");
            if (end < s.size() && (s[end] == '=' || s[end] == ':')) {
                line.kind = line_kind::entry;
                line.name = std::string(strip_right(s.substr(0, end)));
                previous_name = cut(line.name, ini_name_size);
            } else {
                line.kind = line_kind::malformed;
            }
        }
    }
}

// The line end that new lines get: the text's own.
std::string_view line_end_of(const std::vector<ini_line> &lines)
{
    bool has_lf = false;
    for (const ini_line &line : lines) {
        if (line.line_end == "\r\n") {
            return "\r\n";
        }
        has_lf = has_lf || line.line_end == "\n";
    }
    return has_lf ? "\n" : "\r\n";
}

const ini_entry_edit *edit_of(const std::vector<ini_entry_edit> &edits, std::string_view name)
{
    for (const ini_entry_edit &edit : edits) {
        if (edit.name == name) {
            return &edit;
        }
    }
    return nullptr;
}

// Where the entries the section lacks go: the index of the line after which
// they are inserted; lines.size() to add the section at the end instead.
size_t insertion_point(const std::vector<ini_line> &lines, std::string_view section)
{
    size_t after = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].section == section && lines[i].kind != line_kind::comment) {
            after = i;
        }
    }
    if (after == lines.size()) {
        return after;
    }
    // The next line that is not a comment starts another section; indented,
    // it would be read as a continuation of the entry inserted before it.
    for (size_t i = after + 1; i < lines.size(); ++i) {
        if (lines[i].kind != line_kind::comment) {
            return lines[i].indented ? lines.size() : after;
        }
    }
    return after;
}

std::string entry_line(const ini_entry_edit &edit)
{
    return edit.name + "=" + edit.value;
}

} // namespace

std::string ini_edit_entries(std::string_view text, std::string_view section,
                             const std::vector<ini_entry_edit> &edits)
{
    std::vector<ini_line> lines = split_lines(text);
    classify(lines);
    const std::string_view line_end = line_end_of(lines);

    std::vector<const ini_entry_edit *> missing;
    for (const ini_entry_edit &edit : edits) {
        bool found = false;
        for (const ini_line &line : lines) {
            found =
                found || (line.kind == line_kind::entry && line.section == section && line.name == edit.name);
        }
        if (!found) {
            missing.push_back(&edit);
        }
    }
    const size_t insert_after = missing.empty() ? lines.size() : insertion_point(lines, section);

    std::string edited;
    edited.reserve(text.size() + 64);
    const auto insert_missing = [&] {
        for (const ini_entry_edit *edit : missing) {
            edited += entry_line(*edit);
            edited += line_end;
        }
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        const ini_line &line = lines[i];
        const bool sets_entry = line.kind == line_kind::entry || line.kind == line_kind::continuation;
        const ini_entry_edit *edit =
            sets_entry && line.section == section ? edit_of(edits, line.name) : nullptr;
        if (edit == nullptr) {
            edited += line.text;
            edited += line.line_end;
        } else if (line.kind == line_kind::entry) {
            edited += entry_line(*edit);
            edited += line.line_end;
        }
        // else: a continuation of an edited entry, which would undo the edit.
        if (i == insert_after) {
            if (edited.empty() || edited.back() != '\n') {
                edited += line_end;
            }
            insert_missing();
        }
    }
    if (!missing.empty() && insert_after == lines.size()) {
        if (!edited.empty() && edited.back() != '\n') {
            edited += line_end;
        }
        edited += "[";
        edited += section;
        edited += "]";
        edited += line_end;
        insert_missing();
    }
    return edited;
}
