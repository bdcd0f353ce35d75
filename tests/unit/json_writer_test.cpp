// JSON writer: escapes of every kind of character, and members of nested objects.
#include "json/json_writer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(json_writer, escapes_quotes_backslashes_and_every_control_character_and_keeps_other_utf8)
{
    const struct {
        std::string text;
        std::string literal;
    } cases[] = {
        {std::string("\x00\x02\x07\x0b\x0e\x10\x1b\x1f", 8),
         R"("\u0000\u0002\u0007\u000b\u000e\u0010\u001b\u001f")"},
        {"plain", R"("plain")"},
        {"say \"hi\"", R"("say \"hi\"")"},
        {"a\\b", R"("a\\b")"},
        {"\n\r\t\b\f", R"("\n\r\t\b\f")"},
        {std::string("\x00\x01\x1f", 3), R"("\u0000\u0001\u001f")"},
        {"\x7f/", "\"\x7f/\""},
        {"Fr\xC3\xA9"
         "d\xC3\xA9ric \xF0\x9F\x8E\xB5",
         "\"Fr\xC3\xA9"
         "d\xC3\xA9ric \xF0\x9F\x8E\xB5\""},
        {"", R"("")"},
    };
    for (const auto &test : cases) {
        std::string out;
        json_append_string(out, test.text);
        EXPECT_EQ(out, test.literal);
    }
}

TEST(json_writer, separates_members_of_nested_objects)
{
    json_writer out;
    out.begin_object();
    out.key("a");
    out.integer(-1);
    out.key("b");
    out.begin_object();
    out.end_object();
    out.key("c");
    out.begin_object();
    out.key("d");
    out.string("x");
    out.key("e");
    out.integer(1700000001);
    out.end_object();
    out.end_object();
    EXPECT_EQ(out.text(), R"({"a":-1,"b":{},"c":{"d":"x","e":1700000001}})");
}

TEST(json_writer, separates_values_of_arrays_of_objects_and_scalars)
{
    json_writer out;
    out.begin_object();
    out.key("a");
    out.begin_array();
    out.end_array();
    out.key("b");
    out.begin_array();
    out.begin_object();
    out.key("c");
    out.string("x");
    out.end_object();
    out.begin_object();
    out.end_object();
    out.string("y");
    out.integer(2);
    out.end_array();
    out.key("d");
    out.integer(3);
    out.end_object();
    EXPECT_EQ(out.text(), R"({"a":[],"b":[{"c":"x"},{},"y",2],"d":3})");
}

} // namespace
