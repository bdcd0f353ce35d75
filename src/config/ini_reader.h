// Line-oriented INI reader, no Windows API: pulls lines from a caller's
// reader, or from text in memory, and reports each "name = value" entry with its section to a handler.
// Syntax: a line buffer of 200 bytes unless the caller gives another size
// (longer lines arrive as pieces of at most size - 1 bytes, each read as a
// line), UTF-8 byte-order mark skipped, ';' and '#'
// comment lines, ';' inline comments after white space, '=' or ':'
// separators, white space trimmed, section names cut at 49 bytes, indented
// continuation lines, and no stop on errors.
#pragma once

#include <string_view>

// Like fgets: fills `line` with at most `size` - 1 bytes up to and including
// a line feed and a terminating NUL; returns `line`, or NULL at the end.
using ini_line_reader = char *(*)(char *line, int size, void *stream);

// Receives each entry; returns non-zero when it took the entry.
using ini_entry_handler = int (*)(void *user, const char *section, const char *name, const char *value);

// Size of the line buffer handed to the reader unless the caller gives one:
// the reference INI library's, whose lines the reader splits alike.
inline constexpr int ini_line_size = 200;
// Sections and remembered names are kept to this many bytes minus one.
inline constexpr int ini_section_size = 50;
inline constexpr int ini_name_size = 50;

// The fgets contract for a line reader: fills `line` from `next_byte` (a
// callable taking a char& and returning false at the end) with at most
// `size` - 1 bytes through the first line feed; NULL when no byte was read.
template <typename NextByte> char *ini_fill_line(char *line, int size, NextByte next_byte)
{
    int count = 0;
    char byte;
    while (count < size - 1 && next_byte(byte)) {
        line[count++] = byte;
        if (byte == '\n') {
            break;
        }
    }
    if (count == 0) {
        return nullptr;
    }
    line[count] = '\0';
    return line;
}

// Reads every line through a line buffer of `line_size` bytes (at least 2);
// returns 0, or the number of the first line that was malformed or whose
// entry the handler refused.
int ini_read_stream(ini_line_reader reader, void *stream, ini_entry_handler handler, void *user,
                    int line_size = ini_line_size);

// ini_read_stream over `text` held in memory, which need not end in a NUL.
int ini_read_text(std::string_view text, ini_entry_handler handler, void *user,
                  int line_size = ini_line_size);

// ini_read_text with a line buffer that takes every line of `text` whole.
int ini_read_whole_lines(std::string_view text, ini_entry_handler handler, void *user);
