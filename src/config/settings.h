// The six display settings: one process-wide record read by the presence code
// and the settings dialog, and the rules that tie it to the settings file's
// text. No Windows API here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct cfg_settings {
    int32_t display_song_info = 1;
    int32_t display_album_art = 1;
    int32_t display_title = 1;
    int32_t display_album_name = 1;
    int32_t display_artist_name = 1;
    int32_t show_elapsed_time = 1;

    bool operator==(const cfg_settings &) const = default;
};

extern cfg_settings config;

// The one section whose entries are taken.
inline constexpr char cfg_section[] = "Display configuration";

// Sets the field named by `key` (exact, case-sensitive) to 1 when `value`
// reads as a non-zero decimal number (strtol rules), else 0. Returns 1 when
// the key is known, 0 (nothing changed) otherwise.
int cfg_set_value(cfg_settings *settings, const char *key, const char *value);

// Entry handler for the INI reader; `user` is the settings record. Takes only
// entries of the section "Display configuration".
int cfg_handler(void *user, const char *section, const char *name, const char *value);

// Sets the fields that the settings file's `text` names, by the INI reader's
// syntax and cfg_handler's rules; fields it does not name keep their values.
void cfg_parse(std::string_view text, cfg_settings *settings);

// The settings file's complete content: the section line and one
// "key=value" line per setting, CR LF line ends (157 bytes at the defaults).
std::string cfg_format(const cfg_settings &settings);
