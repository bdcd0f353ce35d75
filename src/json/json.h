// In-place JSON reader: parses a writable NUL-terminated text into a tree of
// json_node records whose keys and strings point into that text. Accepts
// comments, optional and repeated commas, hexadecimal and octal integers;
// a syntax error prints one "JSON PARSE ERROR (n): ..." line on stderr.
// Keys and strings are decoded in place: \" \\ \/ \b \f \n \r \t, and \uXXXX
// as UTF-8 (a surrogate pair as the one code point it stands for; a lone
// surrogate, and \u0000 which a NUL-terminated string cannot hold, as U+FFFD);
// a backslash before anything else stays, with what follows it.
// No Windows API here: the module builds and is fuzzed natively.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

enum json_kind : int32_t {
    JSON_NULL = 0, // also the kind of any zero-filled node
    JSON_OBJECT = 1,
    JSON_ARRAY = 2,
    JSON_STRING = 3,
    JSON_INTEGER = 4, // number with neither fraction nor exponent
    JSON_DOUBLE = 5,  // number with a fraction or an exponent
    JSON_BOOL = 6,
};

struct json_node {
    json_kind kind;
    // Member name inside the text buffer; NULL for array elements and the root.
    char *key;
    union {
        // JSON_STRING: the decoded string, inside the text buffer.
        char *string;
        struct {
            // JSON_INTEGER: the number (a number without '-' holds the bit
            // pattern of its unsigned value); JSON_DOUBLE: the integer part as
            // the integer conversion read it; JSON_BOOL: 1 or 0.
            int64_t integer;
            // JSON_INTEGER, JSON_DOUBLE: the number as a double.
            double real;
        };
        struct {
            // JSON_OBJECT, JSON_ARRAY: number of children, first and last child.
            int32_t length;
            json_node *first;
            json_node *last;
        };
    };
    json_node *next; // next child of the same parent, NULL for the last
};

// Deepest nesting of arrays and objects accepted; deeper texts fail the parse
// (report 377) long before the recursion could exhaust a 1 MiB thread stack.
inline constexpr int json_max_depth = 512;

// Parses `text` (writable, NUL-terminated) in place and returns the root of
// the first complete value, owned by the caller (release with json_free);
// whatever follows that value is ignored. The tree borrows `text`, which must
// outlive it. NULL after a syntax error (one line printed on stderr), for a
// NULL text, and for a text whose first non-blank byte is ']' (no message).
json_node *json_parse(char *text);

// The first member of the object `node` whose key equals `key`; NULL when
// there is none or when `node` is NULL or not an object.
json_node *json_member(const json_node *node, const char *key);

// The text of the member `key` of the object `node` when that member is a
// string; nothing when there is none, it is of another kind, or `node` is NULL
// or not an object. The view points into the parsed text.
std::optional<std::string_view> json_member_string(const json_node *node, const char *key);

// Releases a tree given by json_parse (its root, or NULL). The text is not touched.
void json_free(json_node *root);
