// The code that names an install's fallback folder, made from the path of
// the install's own settings folder. No Windows API here. The code must
// never change: an install finds its fallback copy only under the same code.
#pragma once

#include <string>
#include <string_view>

// FNV-1a (64 bits) over the UTF-16 units of `upper_case_path`, each taken low
// byte first, written as 16 lower-case hexadecimal digits. The caller
// upper-cases the path, so that every spelling of one folder gives one code.
std::string cfg_folder_code(std::u16string_view upper_case_path);
