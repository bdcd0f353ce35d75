// Compact JSON text for the few documents the plug-in writes: objects and
// arrays of strings and integers. Strings are UTF-8 and are written as they are, with
// `"`, `\` and every control character below U+0020 escaped (RFC 8259).
// No Windows API here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class json_writer {
  public:
    // An object, as the whole document or as the value of the member named last.
    void begin_object();
    void end_object();
    // An array, as the value of the member named last; its values follow.
    void begin_array();
    void end_array();
    // A member's name; its value follows.
    void key(std::string_view name);
    void string(std::string_view utf8);
    void integer(int64_t value);

    // The text written so far.
    const std::string &text() const { return text_; }

  private:
    // Puts the comma before a value that follows another in an array.
    void begin_value();

    struct open_group {
        bool array;
        bool has_members;
    };
    std::string text_;
    std::vector<open_group> open_; // one per open object or array
};

// Appends `utf8` as a JSON string literal to `out`.
void json_append_string(std::string &out, std::string_view utf8);
