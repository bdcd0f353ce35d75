// Settings record, its key table, and the conversions between the record and
// the settings file's text (read through the INI reader).
#include "config/settings.h"

#include "common/hex_digit.h"
#include "config/ini_editor.h"
#include "config/ini_reader.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <iterator>

cfg_settings config;

namespace {

// Marks an on/off setting, for which any non-zero number means on.
constexpr int32_t on_off = -1;

// A key of the file and the field it sets: a number (with its range) or a text.
struct key_row {
    const char *key;
    int32_t cfg_settings::*number;
    // The highest value of a number whose values are 0 up to it; or on_off.
    int32_t highest;
    std::string cfg_settings::*text;
};

constexpr key_row number_row(const char *key, int32_t cfg_settings::*field, int32_t highest)
{
    return {key, field, highest, nullptr};
}

constexpr key_row text_row(const char *key, std::string cfg_settings::*field)
{
    return {key, nullptr, 0, field};
}

// In the order the file is written, which is not the record's field order.
// Older versions read only the first six and refuse the others, which they
// skip without harm.
constexpr key_row key_table[] = {
    number_row("Display title", &cfg_settings::display_title, on_off),
    number_row("Display artist name", &cfg_settings::display_artist_name, on_off),
    number_row("Display album name", &cfg_settings::display_album_name, on_off),
    number_row("Display album art", &cfg_settings::display_album_art, on_off),
    number_row("Display song information", &cfg_settings::display_song_info, on_off),
    number_row("Show elapsed time", &cfg_settings::show_elapsed_time, on_off),
    number_row("Member list shows", &cfg_settings::status_display_type, cfg_status_shows_details),
    number_row("Hide while paused", &cfg_settings::hide_while_paused, 1),
    // Written only when they differ from their defaults (see cfg_format).
    text_row("Title line", &cfg_settings::title_line),
    text_row("Artist line", &cfg_settings::artist_line),
    number_row("Header shows", &cfg_settings::header_shows, cfg_header_shows_title),
    number_row("Button 1", &cfg_settings::button_1, cfg_button_own),
    text_row("Button 1 label", &cfg_settings::button_1_label),
    text_row("Button 1 address", &cfg_settings::button_1_address),
    number_row("Button 2", &cfg_settings::button_2, cfg_button_own),
    text_row("Button 2 label", &cfg_settings::button_2_label),
    text_row("Button 2 address", &cfg_settings::button_2_address),
    number_row("Share on Discord", &cfg_settings::share_on_discord, on_off),
};

// The rows every complete file has, the ones older versions wrote.
constexpr size_t rows_always_written = 8;

const key_row *row_of(std::string_view key)
{
    for (const key_row &row : key_table) {
        if (key == row.key) {
            return &row;
        }
    }
    return nullptr;
}

int32_t number_of(const key_row &row, const char *text)
{
    const long number = std::strtol(text, nullptr, 10);
    if (row.highest == on_off) {
        return number != 0 ? 1 : 0;
    }
    return number >= 0 && number <= row.highest ? static_cast<int32_t>(number) : cfg_settings{}.*row.number;
}

// Whether `c` is white space to the INI reader, which trims it off values.
bool is_space(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Whether the INI reader would hand back `text` unchanged as a value written
// right after the separator, and it cannot be taken for a quoted value.
bool reads_back_verbatim(std::string_view text)
{
    if (text.empty()) {
        return true;
    }
    if (is_space(text.front()) || is_space(text.back()) || text.front() == '"') {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F || (text[i] == ';' && i > 0 && is_space(text[i - 1]))) {
            return false;
        }
    }
    return true;
}

std::string quoted(std::string_view text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string value = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"' || c == ';') {
            value += '\\';
            value += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            value += "\\x";
            value += hex[byte >> 4];
            value += hex[byte & 0xF];
        } else {
            value += c;
        }
    }
    value += '"';
    return value;
}

// The body of a quoted value with its escapes undone; a backslash that
// starts no escape stays as it is.
std::string unquoted(std::string_view body)
{
    std::string text;
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] != '\\' || i + 1 == body.size()) {
            text += body[i];
        } else if (body[i + 1] == '\\' || body[i + 1] == '"' || body[i + 1] == ';') {
            text += body[++i];
        } else if (body[i + 1] == 'x' && i + 3 < body.size() && hex_digit_value(body[i + 2]) >= 0 &&
                   hex_digit_value(body[i + 3]) >= 0) {
            text += static_cast<char>(hex_digit_value(body[i + 2]) * 16 + hex_digit_value(body[i + 3]));
            i += 3;
        } else {
            text += body[i];
        }
    }
    return text;
}

std::string value_text(const key_row &row, const cfg_settings &settings)
{
    return row.text != nullptr ? cfg_encode_text(settings.*row.text) : std::to_string(settings.*row.number);
}

bool same_value(const key_row &row, const cfg_settings &a, const cfg_settings &b)
{
    return row.text != nullptr ? a.*row.text == b.*row.text : a.*row.number == b.*row.number;
}

bool at_default(const key_row &row, const cfg_settings &settings)
{
    static const cfg_settings defaults;
    return same_value(row, settings, defaults);
}

// The last value the file gives each key of the section, as the reader hands it over.
struct file_values {
    std::vector<std::pair<std::string, std::string>> values;

    const std::string *of(std::string_view key) const
    {
        for (const auto &[name, value] : values) {
            if (name == key) {
                return &value;
            }
        }
        return nullptr;
    }
};

int record_value(void *user, const char *section, const char *name, const char *value)
{
    if (std::strcmp(section, cfg_section) != 0 || row_of(name) == nullptr) {
        return 0;
    }
    auto &file = *static_cast<file_values *>(user);
    for (auto &[known, last] : file.values) {
        if (known == name) {
            last = value;
            return 1;
        }
    }
    file.values.emplace_back(name, value);
    return 1;
}

// Whether the file's value `value` for the key of `row` means what `settings` hold.
bool holds(const key_row &row, const std::string &value, const cfg_settings &settings)
{
    cfg_settings read = settings;
    cfg_set_value(&read, row.key, value.c_str());
    return same_value(row, read, settings);
}

constexpr char line_end[] = "\r\n";

} // namespace

std::string cfg_encode_text(std::string_view text)
{
    return reads_back_verbatim(text) ? std::string(text) : quoted(text);
}

std::string cfg_decode_text(std::string_view value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        return unquoted(value.substr(1, value.size() - 2));
    }
    return std::string(value);
}

int cfg_set_value(cfg_settings *settings, const char *key, const char *value)
{
    const key_row *row = row_of(key);
    if (row == nullptr) {
        return 0;
    }
    if (row->text != nullptr) {
        settings->*row->text = cfg_decode_text(value);
    } else {
        settings->*row->number = number_of(*row, value);
    }
    return 1;
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
    ini_read_whole_lines(text, &cfg_handler, settings);
}

std::string cfg_format(const cfg_settings &settings)
{
    std::string text = std::string("[") + cfg_section + "]" + line_end;
    for (size_t i = 0; i < std::size(key_table); ++i) {
        const key_row &row = key_table[i];
        if (i < rows_always_written || !at_default(row, settings)) {
            text += row.key;
            text += '=';
            text += value_text(row, settings);
            text += line_end;
        }
    }
    return text;
}

std::vector<std::string> cfg_changed_keys(const cfg_settings &before, const cfg_settings &after)
{
    std::vector<std::string> keys;
    for (const key_row &row : key_table) {
        if (!same_value(row, before, after)) {
            keys.emplace_back(row.key);
        }
    }
    return keys;
}

cfg_merge cfg_merge_changes(const std::optional<std::string> &text, const cfg_settings &in_force,
                            const std::vector<std::string> &changed_keys)
{
    cfg_merge merge{in_force, {}, !changed_keys.empty()};
    if (!text) {
        merge.text = cfg_format(in_force);
        return merge;
    }
    cfg_parse(*text, &merge.settings);
    file_values file;
    ini_read_whole_lines(*text, &record_value, &file);
    std::vector<ini_entry_edit> edits;
    for (const std::string &key : changed_keys) {
        const key_row *row = row_of(key);
        if (row == nullptr) {
            continue;
        }
        if (row->text != nullptr) {
            merge.settings.*row->text = in_force.*row->text;
        } else {
            merge.settings.*row->number = in_force.*row->number;
        }
        const std::string *value = file.of(key);
        if (value == nullptr || !holds(*row, *value, in_force)) {
            edits.push_back({key, value_text(*row, in_force)});
        }
    }
    merge.writes = !edits.empty();
    merge.text = merge.writes ? ini_edit_entries(*text, cfg_section, edits) : *text;
    return merge;
}
