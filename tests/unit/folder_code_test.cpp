// The fallback folder's code: fixed values, so that a change that would lose
// every install's fallback copy cannot pass unnoticed.
#include "config/folder_code.h"

#include <gtest/gtest.h>

namespace {

struct code_case {
    std::u16string path;
    std::string code;
};

class folder_codes : public testing::TestWithParam<code_case> {};

TEST_P(folder_codes, are_64_bit_fnv1a_hashes_of_the_utf16_path_in_hexadecimal)
{
    EXPECT_EQ(cfg_folder_code(GetParam().path), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(paths, folder_codes,
                         testing::Values(code_case{u"", "cbf29ce484222325"},
                                         code_case{u"C:\\WINAMP\\PLUGINS\\TOLVEK", "650b87c46d25de91"}));

TEST(folder_code, tells_folders_apart_by_every_unit)
{
    EXPECT_NE(cfg_folder_code(u"D:\\WINAMP\\PLUGINS\\TOLVEK"),
              cfg_folder_code(u"C:\\WINAMP\\PLUGINS\\TOLVEK"));
    EXPECT_NE(cfg_folder_code(u"C:\\\u0419"), cfg_folder_code(u"C:\\\u0418"));
}

} // namespace
