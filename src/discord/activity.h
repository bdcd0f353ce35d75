// The activity the plug-in hands to the connection: what Discord shows under
// the user's name. Plain values; an empty string or a zero number is a field
// left out of what goes to Discord. Every field passes the publishing gate
// (discord/publish_gate.h) on its way out. No Windows API here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Activity types as Discord names them.
inline constexpr int activity_type_playing = 0;
inline constexpr int activity_type_listening = 2;

// A button under the card, which other users see (the user never sees their own).
struct activity_button {
    std::string label; // UTF-8, 1 to 32 characters
    std::string url;   // an https URL of at most 512 characters

    bool operator==(const activity_button &) const = default;
};

// Discord shows at most two buttons, and takes button addresses of up to 512 characters.
inline constexpr size_t activity_buttons_max = 2;
inline constexpr size_t activity_button_url_max_bytes = 512;

struct discord_activity {
    int type = activity_type_playing;
    std::string
        name; // the header after "Listening to" (1 to 128 characters), or empty: the application's name
    std::string state; // UTF-8, 2 to 128 characters, or empty
    std::string details;
    std::string state_url; // links on the lines: https URLs of at most 256 characters, or empty
    std::string details_url;
    int64_t start = 0;       // seconds since 1970
    int64_t end = 0;         // seconds since 1970, with `start`: a time bar
    std::string large_image; // an asset name or an https URL
    std::string large_text;
    std::string large_url;
    int status_display_type = 0;          // what the member list shows: 0 the name, 1 state, 2 details
    std::vector<activity_button> buttons; // at most activity_buttons_max; none: left out
    // Never published: what the playing entry keeps secret (a stream's
    // stream_secrets). A text or an address holding one is left out.
    std::vector<std::string> withheld;

    bool operator==(const discord_activity &) const = default;
};

// The activity as a Discord from before 2025 takes it: without the fields such
// a Discord does not know and refuses (the header, the links of the lines and
// the image, the member list's choice, the buttons). Every field of that kind
// the record holds is cleared here, one line each, so that a refused update
// has one way to go out again.
inline discord_activity without_newer_fields(discord_activity activity)
{
    activity.name.clear();
    activity.buttons.clear();
    activity.state_url.clear();
    activity.details_url.clear();
    activity.large_url.clear();
    activity.status_display_type = 0;
    return activity;
}
