// Settings record, its key table, and the conversions between the record and
// the settings file's text (read through the INI reader).
#include "config/settings.h"

#include "config/ini_reader.h"

#include <cstdlib>
#include <cstring>

cfg_settings config;

namespace {

// Marks an on/off setting, for which any non-zero number means on.
constexpr int32_t on_off = -1;

struct key_row {
    const char *key;
    int32_t cfg_settings::*field;
    // The highest value of a setting whose values are 0 up to it; or on_off.
    int32_t highest;
};

// In the order the file is written, which is not the record's field order.
// Older versions read only the first six and refuse the others, which they
// skip without harm.
constexpr key_row key_table[] = {
    {"Display title", &cfg_settings::display_title, on_off},
    {"Display artist name", &cfg_settings::display_artist_name, on_off},
    {"Display album name", &cfg_settings::display_album_name, on_off},
    {"Display album art", &cfg_settings::display_album_art, on_off},
    {"Display song information", &cfg_settings::display_song_info, on_off},
    {"Show elapsed time", &cfg_settings::show_elapsed_time, on_off},
    {"Member list shows", &cfg_settings::status_display_type, cfg_status_shows_details},
    {"Hide while paused", &cfg_settings::hide_while_paused, 1},
};

int32_t value_of(const key_row &row, const char *text)
{
    const long number = std::strtol(text, nullptr, 10);
    if (row.highest == on_off) {
        return number != 0 ? 1 : 0;
    }
    return number >= 0 && number <= row.highest ? static_cast<int32_t>(number) : cfg_settings{}.*row.field;
}

constexpr char line_end[] = "\r\n";

} // namespace

int cfg_set_value(cfg_settings *settings, const char *key, const char *value)
{
    for (const key_row &row : key_table) {
        if (std::strcmp(key, row.key) == 0) {
            settings->*row.field = value_of(row, value);
            return 1;
        }
    }
    return 0;
}

int cfg_handler(void *user, const char *section, const char *name, const char *value)
{
    if (std::strcmp(section, cfg_section) != 0) {
        return 0;
    }
    return cfg_set_value(static_cast<cfg_settings *>(user), name, value);
}

void cfg_parse(std::string_view text, cfg_settings *settings)
{
    ini_read_text(text, &cfg_handler, settings);
}

std::string cfg_format(const cfg_settings &settings)
{
    std::string text = std::string("[") + cfg_section + "]" + line_end;
    for (const key_row &row : key_table) {
        text += row.key;
        text += '=';
        text += std::to_string(settings.*row.field);
        text += line_end;
    }
    return text;
}
