// Path helpers: joining pieces and creating a directory with its parents.
#include "dirtools/dirtools.h"

#include <windows.h>

namespace {

// Makes sure `directory` is a directory; false only when its parent is missing.
bool ensure_directory(const std::wstring &directory)
{
    const DWORD attributes = GetFileAttributesW(directory.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return true;
    }
    if (CreateDirectoryW(directory.c_str(), nullptr)) {
        return true;
    }
    return GetLastError() != ERROR_PATH_NOT_FOUND;
}

} // namespace

std::wstring dirtools_join_path(const std::wstring &first, const std::wstring &second)
{
    if (first.empty() || second.empty()) {
        return {};
    }
    if (first.back() == L'\\' || second.front() == L'\\') {
        return first + second;
    }
    return first + L'\\' + second;
}

int dirtools_create_directory(const std::wstring &path)
{
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == L'\\' && !ensure_directory(path.substr(0, i))) {
            return 1;
        }
    }
    return ensure_directory(path) ? 0 : 1;
}
