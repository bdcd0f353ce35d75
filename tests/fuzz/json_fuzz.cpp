// Fuzz target of the JSON reader: any bytes either fail the parse or give a
// tree whose child lists are consistent and whose keys and strings all lie
// inside the parsed buffer; from well-formed UTF-8, with any escapes, every
// decoded key and string is well-formed UTF-8 too.
#include "json/json.h"

#include "well_formed_utf8.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

bool inside(const char *pointer, const std::vector<char> &buffer)
{
    return pointer >= buffer.data() && pointer < buffer.data() + buffer.size();
}

// Checks the tree without recursion, so that deep trees cannot overflow the
// oracle's stack. `utf8`: the text was well-formed UTF-8.
void check_tree(const json_node *root, const std::vector<char> &buffer, bool utf8)
{
    std::vector<const json_node *> pending{root};
    while (!pending.empty()) {
        const json_node *node = pending.back();
        pending.pop_back();
        require(node->kind >= JSON_NULL && node->kind <= JSON_BOOL);
        if (node->key != nullptr) {
            require(inside(node->key, buffer));
            require(!utf8 || is_well_formed_utf8(node->key));
        }
        if (node->kind == JSON_STRING) {
            require(node->string != nullptr && inside(node->string, buffer));
            require(inside(node->string + std::strlen(node->string), buffer));
            require(!utf8 || is_well_formed_utf8(node->string));
        }
        if (node->kind == JSON_BOOL) {
            require(node->integer == 0 || node->integer == 1);
        }
        if (node->kind != JSON_OBJECT && node->kind != JSON_ARRAY) {
            continue;
        }
        require((node->first == nullptr) == (node->length == 0));
        require((node->last == nullptr) == (node->length == 0));
        int32_t count = 0;
        const json_node *last = nullptr;
        for (const json_node *child = node->first; child != nullptr; child = child->next) {
            require(++count <= node->length);
            require(node->kind == JSON_ARRAY ? child->key == nullptr : child->key != nullptr);
            pending.push_back(child);
            last = child;
        }
        require(count == node->length && last == node->last);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<char> buffer(data, data + size);
    buffer.push_back('\0');
    const bool utf8 = is_well_formed_utf8(std::string_view(buffer.data(), std::strlen(buffer.data())));
    json_node *root = json_parse(buffer.data());
    if (root != nullptr) {
        require(root->key == nullptr && root->next == nullptr);
        check_tree(root, buffer, utf8);
        json_member(root, "data");
    }
    json_free(root);
    return 0;
}
