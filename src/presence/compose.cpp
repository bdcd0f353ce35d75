// Text composition of the track activity: the UTF-16 to UTF-8 encoding, the
// all-or-nothing rule for each piece, and the padding of one-character lines.
#include "presence/compose.h"

#include <cstdint>
#include <cstring>

namespace {

// Bytes an activity field holds: text, then its terminator, before the last byte.
constexpr unsigned field_text_limit = 127;

// Discord refuses a details or state line shorter than two characters, and
// then shows nothing at all. U+200B ZERO WIDTH SPACE lengthens such a line
// without changing what a reader sees: it has no width, and being a format
// character rather than white space, trimming leaves it in place. (U+3164
// HANGUL FILLER survives trimming too, but many fonts draw it as a wide blank.)
constexpr utf16_char invisible_padding[] = UTF16("\u200B");

bool is_high_surrogate(uint32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool is_low_surrogate(uint32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Encodes `text` as UTF-8 into `out`, which has room for `capacity` bytes;
// returns the length, or -1 when the text holds an unpaired surrogate or does
// not fit.
int encode_utf8(utf16_view text, char *out, unsigned capacity)
{
    unsigned length = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t code = static_cast<uint16_t>(text[i]);
        if (is_high_surrogate(code)) {
            if (i + 1 == text.size() || !is_low_surrogate(static_cast<uint16_t>(text[i + 1]))) {
                return -1;
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<uint16_t>(text[++i]) - 0xDC00);
        } else if (is_low_surrogate(code)) {
            return -1;
        }
        const unsigned bytes = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
        if (length + bytes > capacity) {
            return -1;
        }
        if (bytes == 1) {
            out[length++] = static_cast<char>(code);
            continue;
        }
        // Lead byte: as many high bits as bytes, then the highest bits of the code.
        const unsigned lead_marker = (0xF00u >> bytes) & 0xF0u;
        out[length++] = static_cast<char>(lead_marker | (code >> (6 * (bytes - 1))));
        for (unsigned shift = 6 * (bytes - 1); shift > 0; shift -= 6) {
            out[length++] = static_cast<char>(0x80 | ((code >> (shift - 6)) & 0x3F));
        }
    }
    return static_cast<int>(length);
}

// Characters (code points) of a field's UTF-8 text, counted up to two.
int characters_up_to_two(const char *field)
{
    int characters = 0;
    for (const char *byte = field; *byte != '\0' && characters < 2; ++byte) {
        characters += (static_cast<unsigned char>(*byte) & 0xC0) != 0x80;
    }
    return characters;
}

} // namespace

int utf8_append(utf16_view text, char *field, unsigned offset)
{
    if (offset >= field_text_limit) {
        return 0;
    }
    char encoded[field_text_limit];
    const int length = encode_utf8(text, encoded, field_text_limit - 1 - offset);
    if (length < 0) {
        return 0;
    }
    std::memcpy(field + offset, encoded, static_cast<size_t>(length));
    field[offset + static_cast<unsigned>(length)] = '\0';
    return length;
}

void compose_details(char *details, const cfg_settings &settings, utf16_view artist, utf16_view album)
{
    const bool song_info = settings.display_song_info != 0;
    const bool show_artist = song_info && settings.display_artist_name && !artist.empty();
    const bool show_album = song_info && settings.display_album_name && !album.empty();
    unsigned offset = 0;
    if (show_artist) {
        offset = utf8_append(artist, details, 0);
        if (offset == 0) {
            return;
        }
    }
    if (!show_album) {
        return;
    }
    if (show_artist) {
        const int written = utf8_append(UTF16(" - "), details, offset);
        if (written == 0) {
            return;
        }
        offset += written;
    }
    utf8_append(album, details, offset);
}

void compose_state(char *state, const cfg_settings &settings, utf16_view title, int playback_state)
{
    unsigned offset = 0;
    if (settings.display_song_info && settings.display_title && !title.empty()) {
        offset = utf8_append(title, state, 0);
        if (offset == 0) {
            return;
        }
        const int written = utf8_append(UTF16(" "), state, offset);
        if (written == 0) {
            return;
        }
        offset += written;
    }
    utf8_append(playback_state == 1 ? UTF16("(Playing)") : UTF16("(Stopped)"), state, offset);
}

void pad_single_character(char *field)
{
    if (characters_up_to_two(field) == 1) {
        utf8_append(invisible_padding, field, static_cast<unsigned>(std::strlen(field)));
    }
}
