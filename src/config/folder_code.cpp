// The fallback folder's code: a 64-bit FNV-1a hash in hexadecimal.
#include "config/folder_code.h"

#include <cstdint>

std::string cfg_folder_code(std::u16string_view upper_case_path)
{
    uint64_t hash = 0xcbf29ce484222325u;
    for (const char16_t unit : upper_case_path) {
        for (const int shift : {0, 8}) {
            hash = (hash ^ ((unit >> shift) & 0xFFu)) * 0x100000001b3u;
        }
    }
    std::string code(16, '0');
    for (char &digit : code) {
        digit = "0123456789abcdef"[hash >> 60];
        hash <<= 4;
    }
    return code;
}
