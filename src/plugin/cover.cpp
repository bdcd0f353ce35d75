// Album cover lookup. Until the catalogue search is in place every track shows
// the plug-in's own art asset.
#include "plugin/cover.h"

#include <cstring>

void fetch_cover_url(const wchar_t *, const wchar_t *, char *large_image)
{
    std::strcpy(large_image, "winamp-logo");
}

void cover_close_connection()
{
}
