// The six display settings, one process-wide record read by the presence code
// and the settings dialog and written by the settings file and the dialog.
#pragma once

#include <cstdint>

struct cfg_settings {
    int32_t display_song_info = 1;
    int32_t display_album_art = 1;
    int32_t display_title = 1;
    int32_t display_album_name = 1;
    int32_t display_artist_name = 1;
    int32_t show_elapsed_time = 1;
};

extern cfg_settings config;
