// In-place recursive-descent JSON reader. Nodes come from a per-tree block
// allocator whose first node is the root, so json_free on the root releases
// the whole tree at once and never recurses.
#include "json/json.h"

#include "common/utf8.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Report numbers beyond the syntax errors: allocation failure and nesting limit.
constexpr int report_out_of_memory = 52;
constexpr int report_too_deep = 377;

// Node blocks: the first holds `first_block_nodes`, each later one twice the
// previous, up to `max_block_nodes` (about 48 KiB: blocks stay below the size
// at which the C library maps and unmaps memory for each allocation).
constexpr size_t first_block_nodes = 32;
constexpr size_t max_block_nodes = 1024;

struct node_block {
    node_block *next;
    size_t capacity;
    size_t used;
};

// Nodes follow the header, suitably aligned.
constexpr size_t block_header_size =
    (sizeof(node_block) + alignof(json_node) - 1) / alignof(json_node) * alignof(json_node);

json_node *block_nodes(node_block *block)
{
    return reinterpret_cast<json_node *>(reinterpret_cast<char *>(block) + block_header_size);
}

struct parser {
    node_block *first_block = nullptr; // holds the root; later blocks follow through `next`
    node_block *block = nullptr;       // the block nodes are taken from
};

void release_blocks(node_block *block)
{
    while (block != nullptr) {
        node_block *next = block->next;
        std::free(block);
        block = next;
    }
}

void report(int number, const char *message, const char *at)
{
    std::fprintf(stderr, "JSON PARSE ERROR (%d): %s at %s\n", number, message, at);
}

json_node *allocate_node(parser &state)
{
    node_block *block = state.block;
    if (block == nullptr || block->used == block->capacity) {
        const size_t capacity = block == nullptr                     ? first_block_nodes
                                : block->capacity >= max_block_nodes ? max_block_nodes
                                                                     : block->capacity * 2;
        auto *fresh =
            static_cast<node_block *>(std::calloc(1, block_header_size + capacity * sizeof(json_node)));
        if (fresh == nullptr) {
            return nullptr;
        }
        fresh->capacity = capacity;
        if (block == nullptr) {
            state.first_block = fresh;
        } else {
            block->next = fresh;
        }
        state.block = block = fresh;
    }
    return &block_nodes(block)[block->used++];
}

// A new zero-filled node of `kind`, linked as the last child of `parent`;
// NULL after a report when it cannot be allocated (`at`: the value's text).
json_node *add_child(parser &state, json_kind kind, char *key, json_node *parent, const char *at)
{
    json_node *node = allocate_node(state);
    if (node == nullptr) {
        report(report_out_of_memory, "out of memory", at);
        return nullptr;
    }
    node->kind = kind;
    node->key = key;
    if (parent->last != nullptr) {
        parent->last->next = node;
    } else {
        parent->first = node;
    }
    parent->last = node;
    ++parent->length;
    return node;
}

// The value of the four hexadecimal digits at `p`, or -1 when they are not
// four hexadecimal digits (the text's NUL ends the look early).
int32_t read_hex4(const char *p)
{
    int32_t value = 0;
    for (int k = 0; k < 4; ++k) {
        const char c = p[k];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) {
            return -1;
        }
        value = value * 16 + digit;
    }
    return value;
}

// Decodes the "\uXXXX" escape whose 'u' is at `read`, with the low half's
// escape after it when it is a surrogate pair, as UTF-8 at `write`. A lone
// surrogate, and U+0000 (which would end the string), become U+FFFD. Returns
// the position after the escapes read, or NULL when `read` holds no four hex
// digits (then nothing is written). The UTF-8 is never longer than the escape,
// so `write` stays behind `read`.
char *decode_unicode_escape(char *read, char **write)
{
    const int32_t unit = read_hex4(read + 1);
    if (unit < 0) {
        return nullptr;
    }
    read += 5;
    char32_t code = static_cast<char32_t>(unit);
    const int32_t next = read[0] == '\\' && read[1] == 'u' ? read_hex4(read + 2) : -1;
    if (is_high_surrogate(code) && next >= 0 && is_low_surrogate(static_cast<char32_t>(next))) {
        code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<char32_t>(next) - 0xDC00);
        read += 6;
    } else if (is_high_surrogate(code) || is_low_surrogate(code) || code == 0) {
        code = replacement_character;
    }
    *write += utf8_encode(code, *write);
    return read;
}

// Decodes the string starting just after its opening quote, in place; stores
// the position after the closing quote in `end`. NULL after a report.
char *decode_string(char *s, char **end)
{
    char *read = s;
    // Until the first escape the decoded text is the text itself.
    for (;;) {
        const char c = *read;
        if (c == '"') {
            *read = '\0';
            *end = read + 1;
            return s;
        }
        if (c == '\\' || c == '\0') {
            break;
        }
        ++read;
    }
    char *write = read;
    for (;;) {
        char c = *read++;
        if (c == '\0') {
            report(184, "no closing quote for string", s);
            return nullptr;
        }
        if (c == '"') {
            *write = '\0';
            *end = read;
            return s;
        }
        if (c == '\\') {
            switch (*read) {
            case '"':
                c = '"';
                break;
            case '\\':
                c = '\\';
                break;
            case '/':
                c = '/';
                break;
            case 'b':
                c = '\b';
                break;
            case 'f':
                c = '\f';
                break;
            case 'n':
                c = '\n';
                break;
            case 'r':
                c = '\r';
                break;
            case 't':
                c = '\t';
                break;
            case 'u':
                if (char *after = decode_unicode_escape(read, &write)) {
                    read = after;
                    continue;
                }
                [[fallthrough]];
            default:
                *write++ = '\\';
                continue; // kept; the next byte is read as it is
            }
            ++read;
        }
        *write++ = c;
    }
}

// Skips a block comment; `p` is just after "/*". Position after "*/", or NULL after a report.
char *skip_comment(char *p)
{
    if (*p == '\0') {
        report(192, "endless comment", p - 2);
        return nullptr;
    }
    for (char *slash = std::strchr(p + 1, '/'); slash != nullptr; slash = std::strchr(slash + 1, '/')) {
        if (slash[-1] == '*') {
            return slash + 1;
        }
    }
    report(198, "endless comment", p - 2);
    return nullptr;
}

// Report numbers of a comment's faults, which differ between the value
// context and the space between object members.
struct comment_reports {
    int endless_line; // "//" without a line feed after it
    int stray_slash;  // '/' followed by neither '/' nor '*'
};

constexpr comment_reports value_comment_reports{353, 361};
constexpr comment_reports member_comment_reports{225, 233};

// Skips the comment starting at the '/' at `p`; the position after it, or
// NULL after a report.
char *skip_any_comment(char *p, comment_reports reports)
{
    if (p[1] == '*') {
        return skip_comment(p + 2);
    }
    if (p[1] != '/') {
        report(reports.stray_slash, "unexpected chars", p);
        return nullptr;
    }
    char *line_feed = std::strchr(p + 2, '\n');
    if (line_feed == nullptr) {
        report(reports.endless_line, "endless comment", p);
        return nullptr;
    }
    return line_feed + 1;
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// Integer conversion with the results of strtoll/strtoull in base 0. Plain
// decimal numbers of up to 18 digits cannot overflow and are read directly.
char *convert_integer(char *p, bool negative, int64_t *value)
{
    const char *digits = negative ? p + 1 : p;
    if (*digits >= '1' && *digits <= '9') {
        uint64_t magnitude = 0;
        const char *q = digits;
        while (is_digit(*q) && q - digits < 18) {
            magnitude = magnitude * 10 + static_cast<uint64_t>(*q++ - '0');
        }
        if (!is_digit(*q)) {
            *value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
            return const_cast<char *>(q);
        }
    } else if (*digits == '0' && !is_digit(digits[1]) && digits[1] != 'x' && digits[1] != 'X') {
        *value = 0;
        return const_cast<char *>(digits + 1);
    }
    char *end;
    errno = 0;
    *value = negative ? std::strtoll(p, &end, 0) : static_cast<int64_t>(std::strtoull(p, &end, 0));
    if (end == p || errno == ERANGE) {
        return nullptr;
    }
    return end;
}

// Decimal-to-double conversion with the result strtod gives, for the common
// numbers whose significand fits in 53 bits and whose power of ten is at most
// 22: both are exact doubles, so one IEEE multiplication or division rounds
// correctly. Anything else (hexadecimal, long or extreme numbers) returns
// NULL and is left to strtod.
char *convert_short_double(char *p, double *value)
{
    static constexpr double powers_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr int max_exact_power = 22;
    constexpr int max_significant_digits = 19;
    constexpr uint64_t max_exact_significand = uint64_t{1} << 53;

    char *q = p;
    const bool negative = *q == '-';
    if (negative) {
        ++q;
    }
    if (q[0] == '0' && (q[1] == 'x' || q[1] == 'X')) {
        return nullptr;
    }
    uint64_t significand = 0;
    int significant_digits = 0;
    int exponent = 0;
    for (; is_digit(*q); ++q) {
        if (significand == 0 && *q == '0') {
            continue;
        }
        if (++significant_digits > max_significant_digits) {
            return nullptr;
        }
        significand = significand * 10 + static_cast<uint64_t>(*q - '0');
    }
    if (*q == '.') {
        for (++q; is_digit(*q); ++q) {
            --exponent;
            if (significand == 0 && *q == '0') {
                continue;
            }
            if (++significant_digits > max_significant_digits) {
                return nullptr;
            }
            significand = significand * 10 + static_cast<uint64_t>(*q - '0');
        }
    }
    if (*q == 'e' || *q == 'E') {
        const char *r = q + 1;
        const bool negative_exponent = *r == '-';
        if (*r == '-' || *r == '+') {
            ++r;
        }
        if (is_digit(*r)) {
            int written_exponent = 0;
            for (; is_digit(*r); ++r) {
                if (written_exponent > 1000) {
                    return nullptr;
                }
                written_exponent = written_exponent * 10 + (*r - '0');
            }
            exponent += negative_exponent ? -written_exponent : written_exponent;
            q = const_cast<char *>(r);
        }
    }
    if (significand > max_exact_significand || exponent < -max_exact_power || exponent > max_exact_power) {
        return nullptr;
    }
    double result = static_cast<double>(significand);
    result = exponent >= 0 ? result * powers_of_ten[exponent] : result / powers_of_ten[-exponent];
    *value = negative ? -result : result;
    return q;
}

char *read_number(parser &state, json_node *parent, char *key, char *p)
{
    json_node *node = add_child(state, JSON_INTEGER, key, parent, p);
    if (node == nullptr) {
        return nullptr;
    }
    const bool negative = *p == '-';
    char *end = convert_integer(p, negative, &node->integer);
    if (end == nullptr) {
        report(306, "invalid number", p);
        return nullptr;
    }
    if (*end == '.' || *end == 'e' || *end == 'E') {
        node->kind = JSON_DOUBLE;
        end = convert_short_double(p, &node->real);
        if (end != nullptr) {
            return end;
        }
        errno = 0;
        node->real = std::strtod(p, &end);
        if (end == p || errno == ERANGE) {
            report(313, "invalid number", p);
            return nullptr;
        }
        return end;
    }
    node->real = negative ? static_cast<double>(node->integer)
                          : static_cast<double>(static_cast<uint64_t>(node->integer));
    return end;
}

struct literal {
    const char *text;
    size_t length;
    json_kind kind;
    int64_t integer;
    int report_number;
};

constexpr literal literal_true{"true", 4, JSON_BOOL, 1, 331};
constexpr literal literal_false{"false", 5, JSON_BOOL, 0, 339};
constexpr literal literal_null{"null", 4, JSON_NULL, 0, 346};

char *read_literal(parser &state, json_node *parent, char *key, char *p, const literal &expected)
{
    // strncmp stops at the text's terminating NUL.
    if (std::strncmp(p, expected.text, expected.length) != 0) {
        report(expected.report_number, "unexpected chars", p);
        return nullptr;
    }
    json_node *node = add_child(state, expected.kind, key, parent, p);
    if (node == nullptr) {
        return nullptr;
    }
    if (expected.kind == JSON_BOOL) {
        node->integer = expected.integer;
    }
    return p + expected.length;
}

char *read_value(parser &state, json_node *parent, char *key, char *p, int depth);

char *read_array(parser &state, json_node *array, char *p, int depth)
{
    char *q = p + 1;
    for (;;) {
        char *r = read_value(state, array, nullptr, q, depth + 1);
        if (r == nullptr) {
            return nullptr;
        }
        if (*r == ']') {
            return r + 1;
        }
        q = r;
    }
}

char *read_object(parser &state, json_node *object, char *p, int depth)
{
    char *q = p + 1;
    for (;;) {
        const unsigned char b = static_cast<unsigned char>(*q);
        if (b == '\0') {
            report(241, "unexpected chars", q);
            return nullptr;
        }
        if (b <= 0x20 || b == ',') {
            ++q;
            continue;
        }
        if (b == '}') {
            return q + 1;
        }
        if (b == '/') {
            q = skip_any_comment(q, member_comment_reports);
            if (q == nullptr) {
                return nullptr;
            }
            continue;
        }
        if (b != '"') {
            report(237, "unexpected chars", q);
            return nullptr;
        }
        char *end;
        char *member_key = decode_string(q + 1, &end);
        if (member_key == nullptr) {
            return nullptr;
        }
        while (*end >= 0x01 && *end <= 0x20) {
            ++end;
        }
        if (*end != ':') {
            report(214, "unexpected chars", end);
            return nullptr;
        }
        if (end[1] == '}') {
            return end + 2; // "key":} ends the object without a member
        }
        q = read_value(state, object, member_key, end + 1, depth + 1);
        if (q == nullptr) {
            return nullptr;
        }
    }
}

// Reads one value at `p` (after blanks, commas and comments) into `parent`.
// Position after the value; the position of a ']' met first (nothing added);
// or NULL after a report.
char *read_value(parser &state, json_node *parent, char *key, char *p, int depth)
{
    for (;;) {
        switch (*p) {
        case '\0':
            report(250, "unexpected end of text", p);
            return nullptr;
        case '\t':
        case '\n':
        case '\r':
        case ' ':
        case ',':
            ++p;
            continue;
        case '/':
            p = skip_any_comment(p, value_comment_reports);
            if (p == nullptr) {
                return nullptr;
            }
            continue;
        case ']':
            return p;
        case '"': {
            json_node *node = add_child(state, JSON_STRING, key, parent, p);
            if (node == nullptr) {
                return nullptr;
            }
            char *end;
            node->string = decode_string(p + 1, &end);
            return node->string == nullptr ? nullptr : end;
        }
        case '-':
        case '0':
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9':
            return read_number(state, parent, key, p);
        case 't':
            return read_literal(state, parent, key, p, literal_true);
        case 'f':
            return read_literal(state, parent, key, p, literal_false);
        case 'n':
            return read_literal(state, parent, key, p, literal_null);
        case '[':
        case '{': {
            if (depth >= json_max_depth) {
                report(report_too_deep, "nesting too deep", p);
                return nullptr;
            }
            const bool is_array = *p == '[';
            json_node *node = add_child(state, is_array ? JSON_ARRAY : JSON_OBJECT, key, parent, p);
            if (node == nullptr) {
                return nullptr;
            }
            return is_array ? read_array(state, node, p, depth) : read_object(state, node, p, depth);
        }
        default:
            report(366, "unexpected chars", p);
            return nullptr;
        }
    }
}

} // namespace

json_node *json_parse(char *text)
{
    if (text == nullptr) {
        return nullptr;
    }
    parser state;
    json_node scratch{};
    if (read_value(state, &scratch, nullptr, text, 0) == nullptr) {
        release_blocks(state.first_block);
        return nullptr;
    }
    return scratch.first;
}

json_node *json_member(const json_node *node, const char *key)
{
    if (node == nullptr || node->kind != JSON_OBJECT) {
        return nullptr;
    }
    for (json_node *child = node->first; child != nullptr; child = child->next) {
        if (child->key != nullptr && std::strcmp(child->key, key) == 0) {
            return child;
        }
    }
    return nullptr;
}

std::optional<std::string_view> json_member_string(const json_node *node, const char *key)
{
    const json_node *member = json_member(node, key);
    if (member == nullptr || member->kind != JSON_STRING) {
        return std::nullopt;
    }
    return member->string;
}

void json_free(json_node *root)
{
    if (root == nullptr) {
        return;
    }
    // The root is the first node of the tree's first block.
    release_blocks(reinterpret_cast<node_block *>(reinterpret_cast<char *>(root) - block_header_size));
}
