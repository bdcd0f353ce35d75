// Feeds INI text to a reader through an fgets-like source in memory and
// records every handler call, so two readers can be compared call by call.
#pragma once

#include "config/ini_reader.h"

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

struct ini_call {
    std::string section, name, value;
    bool operator==(const ini_call &) const = default;
};

struct ini_outcome {
    std::vector<ini_call> calls;
    int result = 0;
    bool operator==(const ini_outcome &) const = default;
};

struct memory_source {
    const std::string *text;
    size_t position = 0;
};

// fgets over a string.
inline char *memory_read_line(char *line, int size, void *stream)
{
    auto &source = *static_cast<memory_source *>(stream);
    return ini_fill_line(line, size, [&source](char &byte) {
        if (source.position == source.text->size()) {
            return false;
        }
        byte = (*source.text)[source.position++];
        return true;
    });
}

// Records the call; refuses entries named "refuse" so refusals are compared too.
inline int recording_handler(void *user, const char *section, const char *name, const char *value)
{
    static_cast<ini_outcome *>(user)->calls.push_back({section, name, value});
    return std::string(name) != "refuse";
}

// The reader with its default line buffer, in the reference library's form.
inline int ini_read_default_lines(ini_line_reader reader, void *stream, ini_entry_handler handler, void *user)
{
    return ini_read_stream(reader, stream, handler, user);
}

template <typename Parse> ini_outcome run_reader(Parse parse, const std::string &text)
{
    ini_outcome outcome;
    memory_source source{&text};
    outcome.result = parse(&memory_read_line, &source, &recording_handler, &outcome);
    return outcome;
}

// Bytes in the longest line of `text`, its line feed included.
inline size_t longest_line(const std::string &text)
{
    size_t longest = 0;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        const size_t next = end == std::string::npos ? text.size() : end + 1;
        longest = std::max(longest, next - start);
        start = next;
    }
    return longest;
}

inline std::ostream &operator<<(std::ostream &out, const ini_outcome &outcome)
{
    out << "result " << outcome.result << ", calls:";
    for (const ini_call &call : outcome.calls) {
        out << " [" << call.section << "|" << call.name << "|" << call.value << "]";
    }
    return out;
}
