// The display settings: one process-wide record read by the presence code and
// the settings dialog, and the rules that tie it to the settings file's text.
// No Windows API here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
    // The two text lines as templates in the host's title syntax (UTF-8);
    // empty: the built-in line.
    std::string title_line;
    std::string artist_line;
    // What the card's header says after "Listening to": one of the
    // cfg_header_shows_ values below.
    int32_t header_shows = 0;
    // Two buttons, each one of the cfg_button_ values below; the label and
    // address templates serve cfg_button_own.
    int32_t button_1 = 0;
    std::string button_1_label;
    std::string button_1_address;
    int32_t button_2 = 0;
    std::string button_2_label;
    std::string button_2_address;
    // 0: nothing is shared with Discord (the activity is cleared), 1: shared.
    int32_t share_on_discord = 1;

    bool operator==(const cfg_settings &) const = default;
};

// Values of status_display_type: the application's name ("Listening to
// Winamp"), the state line (the title), or the details line (artist and album).
inline constexpr int32_t cfg_status_shows_name = 0;
inline constexpr int32_t cfg_status_shows_state = 1;
inline constexpr int32_t cfg_status_shows_details = 2;

// Values of header_shows: the application's name ("Listening to Winamp"),
// the artist, or the title (for a stream without a song: the station).
inline constexpr int32_t cfg_header_shows_name = 0;
inline constexpr int32_t cfg_header_shows_artist = 1;
inline constexpr int32_t cfg_header_shows_title = 2;

// Values of button_1 and button_2: off, a page of the catalogue's match,
// the station's home page, or the user's own label and address.
inline constexpr int32_t cfg_button_off = 0;
inline constexpr int32_t cfg_button_track_page = 1;
inline constexpr int32_t cfg_button_album_page = 2;
inline constexpr int32_t cfg_button_artist_page = 3;
inline constexpr int32_t cfg_button_station_page = 4;
inline constexpr int32_t cfg_button_own = 5;

extern cfg_settings config;

// The one section whose entries are taken.
inline constexpr char cfg_section[] = "Display configuration";

// A text value (a template) in the settings file. The INI reader trims white
// space around a value, ends it at a ';' that follows white space, and ends
// every line at a line feed; so a text is written as it is only when none of
// that can touch it and it does not start with '"'. Any other text is written
// in double quotes, in which '\\', '\"' and '\;' stand for '\', '"' and
// every ';', and "\xHH" (two hexadecimal digits) for each byte below 0x20 and
// 0x7F. A value that starts and ends with '"' is read back as such a quoted
// text; there a backslash that starts none of these escapes stands for itself,
// as one typed by hand in "C:\Music" does. So every text, of any length and
// with any bytes, reads back exactly (see cfg_parse).
std::string cfg_encode_text(std::string_view text);
std::string cfg_decode_text(std::string_view value);

// Sets the field named by `key` (exact, case-sensitive) from `value`. A
// number is read as decimal (strtol rules): the on/off settings take 1 for
// any non-zero number, else 0; a setting with a range of values takes a
// number in its range, and its default for any other. A text is read by
// cfg_decode_text. Returns 1 when the key is known, 0 (nothing changed)
// otherwise.
int cfg_set_value(cfg_settings *settings, const char *key, const char *value);

// Entry handler for the INI reader; `user` is the settings record. Takes only
// entries of the section "Display configuration".
int cfg_handler(void *user, const char *section, const char *name, const char *value);

// Sets the fields that the settings file's `text` names, by the INI reader's
// syntax and cfg_handler's rules; fields it does not name keep their values.
// Every line is read whole, however long (a template may be hundreds of bytes).
void cfg_parse(std::string_view text, cfg_settings *settings);

// The settings file's complete content: the section line and one
// "key=value" line per setting, CR LF line ends (199 bytes at the defaults).
// The six on/off settings come first, in the order and form older versions
// wrote them; "Member list shows" and "Hide while paused" follow. Then, only
// where they differ from their defaults, "Title line", "Artist line",
// "Header shows", "Button 1", "Button 1 label", "Button 1 address",
// "Button 2", "Button 2 label", "Button 2 address", "Share on Discord".
std::string cfg_format(const cfg_settings &settings);

// The keys of the settings whose values differ between `before` and `after`,
// in the order of the file.
std::vector<std::string> cfg_changed_keys(const cfg_settings &before, const cfg_settings &after);

// What a save of the user's changes makes of the settings file.
struct cfg_merge {
    // The settings in force from then on: the file's values, but the user's
    // for the keys the user changed.
    cfg_settings settings;
    // The file's new text.
    std::string text;
    // Whether `text` must be written: false when the file holds every change.
    bool writes = false;
};

// Merges the user's changes (the settings `changed_keys` names, with their
// values in `in_force`) into the settings file's current `text` (none: there
// is no file). Keys the user did not change take what the file says (keys it
// does not name keep their values in `in_force`). Of the file, only the
// lines of changed keys whose values it does not hold already change, by
// ini_edit_entries; a missing file gets cfg_format of the merged settings.
cfg_merge cfg_merge_changes(const std::optional<std::string> &text, const cfg_settings &in_force,
                            const std::vector<std::string> &changed_keys);
