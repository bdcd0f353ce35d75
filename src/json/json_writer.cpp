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

void json_writer::begin_object()
{
    text_ += '{';
    has_members_.push_back(false);
}

void json_writer::end_object()
{
    text_ += '}';
    has_members_.pop_back();
}

void json_writer::key(std::string_view name)
{
    if (has_members_.back()) {
        text_ += ',';
    }
    has_members_.back() = true;
    json_append_string(text_, name);
    text_ += ':';
}

void json_writer::string(std::string_view utf8)
{
    json_append_string(text_, utf8);
}

void json_writer::integer(int64_t value)
{
    text_ += std::to_string(value);
}
