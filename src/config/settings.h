// The display settings: one process-wide record read by the presence code and
// the settings dialog, and the rules that tie it to the settings file's text.
// No Windows API here.
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
    // What friends see next to the user's name in the member list: one of
    // the cfg_status_shows_ values below.
    int32_t status_display_type = 0;
    // 1: a paused track clears the activity instead of showing it.
    int32_t hide_while_paused = 0;

    bool operator==(const cfg_settings &) const = default;
};

// Values of status_display_type: the application's name ("Listening to
// Winamp"), the state line (the title), or the details line (artist and album).
inline constexpr int32_t cfg_status_shows_name = 0;
inline constexpr int32_t cfg_status_shows_state = 1;
inline constexpr int32_t cfg_status_shows_details = 2;

extern cfg_settings config;

// The one section whose entries are taken.
inline constexpr char cfg_section[] = "Display configuration";

// Sets the field named by `key` (exact, case-sensitive) from `value` read as
// a decimal number (strtol rules): the six on/off settings take 1 for any
// non-zero number, else 0; a setting with a range of values takes a number in
// its range, and its default for any other. Returns 1 when the key is known,
// 0 (nothing changed) otherwise.
int cfg_set_value(cfg_settings *settings, const char *key, const char *value);

// Entry handler for the INI reader; `user` is the settings record. Takes only
// entries of the section "Display configuration".
int cfg_handler(void *user, const char *section, const char *name, const char *value);

// Sets the fields that the settings file's `text` names, by the INI reader's
// syntax and cfg_handler's rules; fields it does not name keep their values.
void cfg_parse(std::string_view text, cfg_settings *settings);

// The settings file's complete content: the section line and one
// "key=value" line per setting, CR LF line ends (199 bytes at the defaults).
// The six on/off settings come first, in the order and form older versions
// wrote them; "Member list shows" and "Hide while paused" follow.
std::string cfg_format(const cfg_settings &settings);
