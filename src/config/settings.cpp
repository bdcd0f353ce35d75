// Settings record, its key table, and the conversions between the record and
// the settings file's text (read through the INI reader).
#include "config/settings.h"

#include "config/ini_reader.h"

#include <cstdlib>
#include <cstring>

cfg_settings config;

namespace {

struct key_row {
    const char *key;
    int32_t cfg_settings::*field;
};

// In the order the file is written, which is not the record's field order.
constexpr key_row key_table[] = {
    {"Display title", &cfg_settings::display_title},
    {"Display artist name", &cfg_settings::display_artist_name},
    {"Display album name", &cfg_settings::display_album_name},
    {"Display album art", &cfg_settings::display_album_art},
    {"Display song information", &cfg_settings::display_song_info},
    {"Show elapsed time", &cfg_settings::show_elapsed_time},
};

constexpr char line_end[] = "\r\n";

} // namespace

int cfg_set_value(cfg_settings *settings, const char *key, const char *value)
{
    for (const key_row &row : key_table) {
        if (std::strcmp(key, row.key) == 0) {
            settings->*row.field = std::strtol(value, nullptr, 10) != 0 ? 1 : 0;
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
