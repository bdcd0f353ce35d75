// JSON reader: documents and the trees they give, malformed texts and the one
// line each prints, numbers at the edges of the 64-bit conversions, \u escapes
// decoded to UTF-8, the nesting bound, and what parsing leaves in the buffer.
#include "json/json.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Renders a tree compactly and checks the child-list invariants on the way:
// null, true/false, i<integer>, d<real>/<integer>, s"<text>", [..], {"key":..}.
std::string describe(const json_node *node)
{
    char number[64];
    switch (node->kind) {
    case JSON_NULL:
        return "null";
    case JSON_BOOL:
        return node->integer ? "true" : "false";
    case JSON_INTEGER:
        std::snprintf(number, sizeof number, "i%" PRId64, node->integer);
        return number;
    case JSON_DOUBLE:
        std::snprintf(number, sizeof number, "d%.17g/%" PRId64, node->real, node->integer);
        return number;
    case JSON_STRING: {
        std::string text = "s\"";
        for (const char *c = node->string; *c != '\0'; ++c) {
            if (static_cast<unsigned char>(*c) < 0x20) {
                std::snprintf(number, sizeof number, "\\x%02X", *c);
                text += number;
            } else {
                text += *c;
            }
        }
        return text + "\"";
    }
    case JSON_ARRAY:
    case JSON_OBJECT: {
        const bool object = node->kind == JSON_OBJECT;
        std::string text = object ? "{" : "[";
        int count = 0;
        const json_node *last = nullptr;
        for (const json_node *child = node->first; child != nullptr; child = child->next) {
            if (count++ > 0) {
                text += ",";
            }
            if (object) {
                EXPECT_NE(child->key, nullptr);
                text += std::string("\"") + (child->key ? child->key : "") + "\":";
            } else {
                EXPECT_EQ(child->key, nullptr);
            }
            text += describe(child);
            last = child;
        }
        EXPECT_EQ(count, node->length);
        EXPECT_EQ(last, node->last);
        return text + (object ? "}" : "]");
    }
    }
    return "?";
}

struct parse_outcome {
    std::string tree; // empty when the parse gave NULL
    std::string error_output;
};

parse_outcome parse(std::string text)
{
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    testing::internal::CaptureStderr();
    json_node *root = json_parse(buffer.data());
    parse_outcome outcome;
    outcome.error_output = testing::internal::GetCapturedStderr();
    if (root != nullptr) {
        EXPECT_EQ(root->key, nullptr);
        EXPECT_EQ(root->next, nullptr);
        outcome.tree = describe(root);
    }
    json_free(root);
    return outcome;
}

struct document_case {
    const char *text;
    const char *tree;
};

class documents : public testing::TestWithParam<document_case> {};

TEST_P(documents, parse_into_the_expected_tree_without_a_message)
{
    const parse_outcome outcome = parse(GetParam().text);
    EXPECT_EQ(outcome.tree, GetParam().tree) << "text: " << GetParam().text;
    EXPECT_EQ(outcome.error_output, "");
}

INSTANTIATE_TEST_SUITE_P(
    json, documents,
    testing::Values(
        // Containers, separators and what follows the value.
        document_case{"[]", "[]"}, document_case{"{}", "{}"}, document_case{" \t\r\n[ 1 , 2 ] ", "[i1,i2]"},
        document_case{"[,1,,2,]", "[i1,i2]"}, document_case{"[1 2]", "[i1,i2]"},
        document_case{"[truefalse]", "[true,false]"}, document_case{"[1-2]", "[i1,i-2]"},
        document_case{"[08]", "[i0,i8]"}, document_case{"{,\"a\":1,,\"b\":2,}", "{\"a\":i1,\"b\":i2}"},
        document_case{"{\"a\":1 \"b\":2}", "{\"a\":i1,\"b\":i2}"}, document_case{"{\"a\":}", "{}"},
        document_case{"{\"a\":1,\"b\":}", "{\"a\":i1}"}, document_case{"{\"a\" \t\x01:1}", "{\"a\":i1}"},
        document_case{"{\"a\":1,\"a\":2}", "{\"a\":i1,\"a\":i2}"},
        document_case{"{\x0b\x0c\"a\":1}", "{\"a\":i1}"},
        document_case{"{\"a\":[{\"b\":null}],\"c\":{}}", "{\"a\":[{\"b\":null}],\"c\":{}}"},
        document_case{"{} trailing garbage", "{}"}, document_case{"trueX", "true"},
        // Scalars as whole documents.
        document_case{"42", "i42"}, document_case{"\"text\"", "s\"text\""}, document_case{"true", "true"},
        document_case{"false", "false"}, document_case{"null", "null"},
        // Comments.
        document_case{"[1 /* x */ ]", "[i1]"}, document_case{"[1 // to the end\n 2]", "[i1,i2]"},
        document_case{"/**/1", "i1"}, document_case{"{/* c */\"a\": /* c */ 1 // c\n}", "{\"a\":i1}"},
        // Numbers.
        document_case{"010", "i8"}, document_case{"0x1F", "i31"}, document_case{"-0x10", "i-16"},
        document_case{"-1", "i-1"}, document_case{"0", "i0"}, document_case{"-0", "i0"},
        document_case{"123456789012345678", "i123456789012345678"},
        document_case{"1234567890123456789", "i1234567890123456789"},
        document_case{"-9223372036854775808", "i-9223372036854775808"}, document_case{"1.5", "d1.5/1"},
        document_case{"1e3", "d1000/1"}, document_case{"-2.5", "d-2.5/-2"}, document_case{"010.5", "d10.5/8"},
        document_case{"0.25", "d0.25/0"},
        // Strings.
        document_case{"\"\\u0041\"", "s\"A\""}, document_case{"\"a\\qb\"", "s\"a\\qb\""},
        document_case{"\"\\/\\\"\\\\\"", "s\"/\"\\\""},
        document_case{"\"\\b\\f\\n\\r\\t\"", "s\"\\x08\\x0C\\x0A\\x0D\\x09\""},
        document_case{"\"line\nfeed\"", "s\"line\\x0Afeed\""},
        document_case{"\"caf\xc3\xa9\"", "s\"caf\xc3\xa9\""},
        // A ']' where the first value belongs: no document, no message.
        document_case{"]", ""}, document_case{" ,, ]", ""}));

struct malformed_case {
    const char *text;
    const char *line; // the whole line printed on stderr
};

class malformed : public testing::TestWithParam<malformed_case> {};

TEST_P(malformed, fails_with_exactly_one_numbered_line)
{
    const parse_outcome outcome = parse(GetParam().text);
    EXPECT_EQ(outcome.tree, "");
    EXPECT_EQ(outcome.error_output, GetParam().line) << "text: " << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    json, malformed,
    testing::Values(
        malformed_case{"", "JSON PARSE ERROR (250): unexpected end of text at \n"},
        malformed_case{"   ", "JSON PARSE ERROR (250): unexpected end of text at \n"},
        malformed_case{"[1, 2", "JSON PARSE ERROR (250): unexpected end of text at \n"},
        malformed_case{"{\"a\":1", "JSON PARSE ERROR (241): unexpected chars at \n"},
        malformed_case{"\"abc", "JSON PARSE ERROR (184): no closing quote for string at abc\n"},
        malformed_case{"\"ab\\\"cd", "JSON PARSE ERROR (184): no closing quote for string at ab\"cdd\n"},
        malformed_case{"\"ab\\", "JSON PARSE ERROR (184): no closing quote for string at ab\\\n"},
        malformed_case{"{\"key", "JSON PARSE ERROR (184): no closing quote for string at key\n"},
        malformed_case{"[1 /*", "JSON PARSE ERROR (192): endless comment at /*\n"},
        malformed_case{"[1 /* x", "JSON PARSE ERROR (198): endless comment at /* x\n"},
        malformed_case{"/*/", "JSON PARSE ERROR (198): endless comment at /*/\n"},
        malformed_case{"{/* x", "JSON PARSE ERROR (198): endless comment at /* x\n"},
        malformed_case{"{\"a\"}", "JSON PARSE ERROR (214): unexpected chars at }\n"},
        malformed_case{"{\"a\" /**/ :1}", "JSON PARSE ERROR (214): unexpected chars at /**/ :1}\n"},
        malformed_case{"{\"a\":1 // c", "JSON PARSE ERROR (225): endless comment at // c\n"},
        malformed_case{"{/x}", "JSON PARSE ERROR (233): unexpected chars at /x}\n"},
        malformed_case{"{a:1}", "JSON PARSE ERROR (237): unexpected chars at a:1}\n"},
        malformed_case{"{\"a\":]}", "JSON PARSE ERROR (237): unexpected chars at ]}\n"},
        malformed_case{"{\"a\": }", "JSON PARSE ERROR (366): unexpected chars at }\n"},
        malformed_case{"18446744073709551616",
                       "JSON PARSE ERROR (306): invalid number at 18446744073709551616\n"},
        malformed_case{"-9223372036854775809",
                       "JSON PARSE ERROR (306): invalid number at -9223372036854775809\n"},
        malformed_case{"1234567890123456789012345.5",
                       "JSON PARSE ERROR (306): invalid number at 1234567890123456789012345.5\n"},
        malformed_case{"[-]", "JSON PARSE ERROR (306): invalid number at -]\n"},
        malformed_case{"1e999", "JSON PARSE ERROR (313): invalid number at 1e999\n"},
        malformed_case{"1e-999", "JSON PARSE ERROR (313): invalid number at 1e-999\n"},
        malformed_case{"tru", "JSON PARSE ERROR (331): unexpected chars at tru\n"},
        malformed_case{"fals", "JSON PARSE ERROR (339): unexpected chars at fals\n"},
        malformed_case{"nul", "JSON PARSE ERROR (346): unexpected chars at nul\n"},
        malformed_case{"[1 // c", "JSON PARSE ERROR (353): endless comment at // c\n"},
        malformed_case{"[/x]", "JSON PARSE ERROR (361): unexpected chars at /x]\n"},
        malformed_case{"/", "JSON PARSE ERROR (361): unexpected chars at /\n"},
        malformed_case{"+1", "JSON PARSE ERROR (366): unexpected chars at +1\n"},
        malformed_case{".5", "JSON PARSE ERROR (366): unexpected chars at .5\n"},
        malformed_case{"[trueX]", "JSON PARSE ERROR (366): unexpected chars at X]\n"},
        malformed_case{"\x0c"
                       "1",
                       "JSON PARSE ERROR (366): unexpected chars at \x0c"
                       "1\n"},
        malformed_case{"[\x0b]", "JSON PARSE ERROR (366): unexpected chars at \x0b]\n"},
        malformed_case{"{\"a\":[1,{\"b\":x}]}", "JSON PARSE ERROR (366): unexpected chars at x}]}\n"}));

TEST(json_numbers, the_64_bit_extremes_keep_their_bits_and_values)
{
    char max_unsigned[] = "18446744073709551615";
    json_node *root = json_parse(max_unsigned);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->kind, JSON_INTEGER);
    EXPECT_EQ(static_cast<uint64_t>(root->integer), UINT64_MAX);
    EXPECT_EQ(root->real, 18446744073709551616.0);
    json_free(root);

    char min_signed[] = "-9223372036854775808";
    root = json_parse(min_signed);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->integer, INT64_MIN);
    EXPECT_EQ(root->real, -9223372036854775808.0);
    json_free(root);
}

TEST(json_numbers, are_judged_on_their_own_text_alone)
{
    EXPECT_EQ(parse("1e999").tree, "");
    errno = ERANGE;
    EXPECT_EQ(parse("[7, 2.5, 99999999999999999999.5e-3]").tree, "");
    errno = ERANGE;
    EXPECT_EQ(parse("[7, 2.5]").tree, "[i7,d2.5/2]");
}

TEST(json_buffer, is_rewritten_in_place_and_the_tree_points_into_it)
{
    char text[] = "{\"k\":\"a\\\"b\",\"n\":1}";
    json_node *root = json_parse(text);
    ASSERT_NE(root, nullptr);
    const json_node *k = json_member(root, "k");
    ASSERT_NE(k, nullptr);
    EXPECT_STREQ(k->string, "a\"b");
    EXPECT_EQ(k->key, text + 2);
    EXPECT_EQ(text[3], '\0') << "the key's closing quote became its terminator";
    EXPECT_GE(k->string, text);
    EXPECT_LT(k->string, text + sizeof text);
    json_free(root);
}

struct escape_case {
    const char *what;
    std::string escaped; // a string's text between its quotes
    std::string decoded;
};

class unicode_escapes : public testing::TestWithParam<escape_case> {};

TEST_P(unicode_escapes, decode_to_utf8_in_keys_and_strings)
{
    const std::string text = "{\"" + GetParam().escaped + "\":\"" + GetParam().escaped + "\"}";
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    json_node *root = json_parse(buffer.data());
    ASSERT_NE(root, nullptr);
    ASSERT_NE(root->first, nullptr);
    EXPECT_EQ(std::string(root->first->key), GetParam().decoded);
    EXPECT_EQ(json_member_string(root, GetParam().decoded.c_str()), GetParam().decoded);
    json_free(root);
}

INSTANTIATE_TEST_SUITE_P(
    json, unicode_escapes,
    testing::Values(escape_case{"ascii", "\\u0041", "A"},
                    escape_case{"a_recorded_title", "L\\u2019enfer", "L\u2019enfer"},
                    escape_case{"hex_digits_of_either_case", "caf\\u00e9 CAF\\u00C9", "caf\u00e9 CAF\u00c9"},
                    escape_case{"each_length_of_utf8", "\\u007F\\u0080\\u07FF\\u0800\\uFFFF",
                                "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
                    escape_case{"surrogate_pair", "\\uD83C\\uDFB5!", "\U0001F3B5!"},
                    escape_case{"last_code_point", "\\uDBFF\\uDFFF", "\xF4\x8F\xBF\xBF"},
                    escape_case{"high_surrogate_at_the_end", "a\\uD83C", "a\uFFFD"},
                    escape_case{"high_surrogate_before_a_letter", "\\uD83Cb", "\uFFFDb"},
                    escape_case{"high_surrogate_before_another_escape", "\\uD83C\\u0041\\uD83C\\n",
                                "\uFFFDA\uFFFD\n"},
                    escape_case{"low_surrogate_alone", "\\uDFB5", "\uFFFD"},
                    escape_case{"low_before_high", "\\uDFB5\\uD83C", "\uFFFD\uFFFD"},
                    escape_case{"two_highs_then_a_low", "\\uD83C\\uD83C\\uDFB5", "\uFFFD\U0001F3B5"},
                    escape_case{"high_before_a_broken_escape", "\\uD83C\\uDFG0", "\uFFFD\\uDFG0"},
                    escape_case{"nul_which_would_end_the_string", "a\\u0000b", "a\uFFFDb"},
                    escape_case{"quote_and_backslash", "\\u0022\\u005C", "\"\\"},
                    escape_case{"beside_other_escapes", "\\t\\u00e9\\/", "\t\u00e9/"},
                    escape_case{"too_few_digits_stay_as_they_are", "\\u12", "\\u12"},
                    escape_case{"no_hex_digit_stays_as_it_is", "\\u12G4", "\\u12G4"}),
    [](const auto &info) { return std::string(info.param.what); });

TEST(json_member, finds_the_first_member_of_an_object_and_nothing_elsewhere)
{
    char text[] = "{\"a\":1,\"b\":[{\"a\":9}],\"a\":2}";
    json_node *root = json_parse(text);
    ASSERT_NE(root, nullptr);
    ASSERT_NE(json_member(root, "a"), nullptr);
    EXPECT_EQ(json_member(root, "a")->integer, 1);
    EXPECT_EQ(json_member(root, "A"), nullptr);
    EXPECT_EQ(json_member(root, "missing"), nullptr);
    EXPECT_EQ(json_member(json_member(root, "b"), "a"), nullptr) << "an array has no members";
    EXPECT_EQ(json_member(json_member(root, "a"), "a"), nullptr) << "a number has no members";
    EXPECT_EQ(json_member(nullptr, "a"), nullptr);
    json_free(root);
}

TEST(json_parse, null_text_and_null_tree_are_ignored_quietly)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(json_parse(nullptr), nullptr);
    json_free(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

std::string nested(int depth, char open, char close)
{
    return std::string(depth, open) + std::string(depth, close);
}

TEST(json_nesting, is_bounded_with_a_report_of_its_own)
{
    EXPECT_EQ(parse(nested(json_max_depth, '[', ']')).error_output, "");
    const parse_outcome too_deep = parse(nested(json_max_depth + 1, '[', ']'));
    EXPECT_EQ(too_deep.tree, "");
    EXPECT_EQ(too_deep.error_output.rfind("JSON PARSE ERROR (377): nesting too deep at [", 0), 0u);

    std::string objects;
    for (int i = 0; i < 200000; ++i) {
        objects += "{\"a\":";
    }
    EXPECT_EQ(parse(objects).error_output.rfind("JSON PARSE ERROR (377): nesting too deep at {\"a\":", 0),
              0u);
}

TEST(json_large, many_nodes_across_blocks_are_linked_in_order)
{
    std::string text = "[";
    for (int i = 0; i < 20000; ++i) {
        text += std::to_string(i) + ",";
    }
    text += "]";
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    json_node *root = json_parse(buffer.data());
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->length, 20000);
    int expected = 0;
    for (const json_node *child = root->first; child != nullptr; child = child->next) {
        ASSERT_EQ(child->integer, expected++);
    }
    json_free(root);
}

} // namespace
