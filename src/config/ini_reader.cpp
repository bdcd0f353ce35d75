// INI reader: classifies each line (comment, continuation, section, entry)
// and hands entries to the handler.
#include "config/ini_reader.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <vector>

namespace {

constexpr char start_comment_prefixes[] = ";#";
constexpr char inline_comment_prefixes[] = ";";

bool is_space(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Strips trailing white space in place.
char *strip_right(char *s)
{
    char *p = s + std::strlen(s);
    while (p > s && is_space(*--p)) {
        *p = '\0';
    }
    return s;
}

char *skip_left(char *s)
{
    while (*s != '\0' && is_space(*s)) {
        ++s;
    }
    return s;
}

// First of `chars` (NULL: none) or the start of an inline comment, which must
// follow white space; the terminating NUL when there is neither.
char *find_chars_or_comment(char *s, const char *chars)
{
    bool was_space = false;
    while (*s != '\0' && (chars == nullptr || std::strchr(chars, *s) == nullptr) &&
           !(was_space && std::strchr(inline_comment_prefixes, *s) != nullptr)) {
        was_space = is_space(*s);
        ++s;
    }
    return s;
}

// Copies at most size - 1 bytes and terminates.
void copy_cut(char *destination, const char *source, size_t size)
{
    size_t i = 0;
    for (; i < size - 1 && source[i] != '\0'; ++i) {
        destination[i] = source[i];
    }
    destination[i] = '\0';
}

bool starts_with_bom(const char *s)
{
    return static_cast<unsigned char>(s[0]) == 0xEF && static_cast<unsigned char>(s[1]) == 0xBB &&
           static_cast<unsigned char>(s[2]) == 0xBF;
}

// The fgets contract over text in memory; `stream` is a text_source.
struct text_source {
    std::string_view text;
    size_t position = 0;
};

char *read_text_line(char *line, int size, void *stream)
{
    auto &source = *static_cast<text_source *>(stream);
    return ini_fill_line(line, size, [&source](char &byte) {
        if (source.position == source.text.size()) {
            return false;
        }
        byte = source.text[source.position++];
        return true;
    });
}

} // namespace

int ini_read_stream(ini_line_reader reader, void *stream, ini_entry_handler handler, void *user,
                    int line_size)
{
    std::vector<char> buffer(static_cast<size_t>(line_size));
    char *const line = buffer.data();
    char section[ini_section_size] = "";
    char previous_name[ini_name_size] = "";
    int line_number = 0;
    int error = 0;

    while (reader(line, line_size, stream) != nullptr) {
        ++line_number;
        char *start = line;
        if (line_number == 1 && starts_with_bom(start)) {
            start += 3;
        }
        start = skip_left(strip_right(start));

        // An empty line counts as a comment: strchr finds the terminator.
        if (std::strchr(start_comment_prefixes, *start) != nullptr) {
            continue;
        }
        if (previous_name[0] != '\0' && start > line) {
            // An indented line after an entry continues that entry; its text
            // is taken whole, inline comment included.
            if (!handler(user, section, previous_name, start) && error == 0) {
                error = line_number;
            }
        } else if (*start == '[') {
            char *end = find_chars_or_comment(start + 1, "]");
            if (*end == ']') {
                *end = '\0';
                copy_cut(section, start + 1, sizeof section);
                previous_name[0] = '\0';
            } else if (error == 0) {
                error = line_number;
            }
        } else {
            char *end = find_chars_or_comment(start, "=:");
            if (*end == '=' || *end == ':') {
                *end = '\0';
                char *name = strip_right(start);
                char *value = end + 1;
                end = find_chars_or_comment(value, nullptr);
                *end = '\0';
                value = skip_left(value);
                strip_right(value);
                copy_cut(previous_name, name, sizeof previous_name);
                if (!handler(user, section, name, value) && error == 0) {
                    error = line_number;
                }
            } else if (error == 0) {
                error = line_number;
            }
        }
    }
    return error;
}

int ini_read_text(std::string_view text, ini_entry_handler handler, void *user, int line_size)
{
    text_source source{text};
    return ini_read_stream(&read_text_line, &source, handler, user, line_size);
}

int ini_read_whole_lines(std::string_view text, ini_entry_handler handler, void *user)
{
    // Room for the longest possible line, the whole text, and its NUL.
    const size_t size = std::min(text.size(), size_t{INT_MAX - 1}) + 1;
    return ini_read_text(text, handler, user, static_cast<int>(size));
}
