// The one gate every text and address of an activity passes just before its
// frame is written: a text that holds an address ("://") or a withheld
// secret is left out; a link that is not a plain https address within
// Discord's limits, or that holds a secret, is dropped, and so is the link
// of a line left out; a refused image becomes the logo. So no field, present
// or future, reaches Discord past these rules. No Windows API here.
#pragma once

#include "discord/activity.h"

#include <string_view>

// The image shown in place of a refused one: the logo asset of the application.
inline constexpr std::string_view gate_logo_asset = "winamp-logo";

// `activity` as it may be published: its fields that pass the rules, its
// withheld secrets gone.
discord_activity publishable_activity(const discord_activity &activity);
