// Path helpers for wide (UTF-16) Windows paths.
#pragma once

#include <string>

// `first` and `second` joined by exactly one backslash (none added when
// `first` ends in one or `second` starts with one); empty when either piece is empty.
std::wstring dirtools_join_path(const std::wstring &first, const std::wstring &second);

// Creates every missing directory of `path`, outermost first. Returns 0 on
// success and non-zero only when a level cannot be created because its parent
// is missing (ERROR_PATH_NOT_FOUND); other refusals (a file of that name, no
// access) are left for the caller's file operations to meet.
int dirtools_create_directory(const std::wstring &path);
