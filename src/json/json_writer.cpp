// JSON writer: commas between members, and the escapes RFC 8259 requires.
#include "json/json_writer.h"

namespace {

constexpr char hex_digits[] = "0123456789abcdef";

} // namespace

void json_append_string(std::string &out, std::string_view utf8)
{
    out += '"';
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (byte < 0x20) {
                out += "\\u00";
                out += hex_digits[byte >> 4];
                out += hex_digits[byte & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void json_writer::begin_value()
{
    if (!open_.empty() && open_.back().array) {
        if (open_.back().has_members) {
            text_ += ',';
        }
        open_.back().has_members = true;
    }
}

void json_writer::begin_object()
{
    begin_value();
    text_ += '{';
    open_.push_back({false, false});
}

void json_writer::end_object()
{
    text_ += '}';
    open_.pop_back();
}

void json_writer::begin_array()
{
    begin_value();
    text_ += '[';
    open_.push_back({true, false});
}

void json_writer::end_array()
{
    text_ += ']';
    open_.pop_back();
}

void json_writer::key(std::string_view name)
{
    if (open_.back().has_members) {
        text_ += ',';
    }
    open_.back().has_members = true;
    json_append_string(text_, name);
    text_ += ':';
}

void json_writer::string(std::string_view utf8)
{
    begin_value();
    json_append_string(text_, utf8);
}

void json_writer::integer(int64_t value)
{
    begin_value();
    text_ += std::to_string(value);
}
