// The presence dispatcher: what the player does now, published to Discord as
// the idle or the track activity. Main thread only.
#pragma once

#include "config/settings.h"
#include "cover/cover_cache.h"
#include "discord/activity.h"

#include <optional>

// From start-up to shut-down update_presence publishes; before and after, nothing.
void presence_start();
void presence_stop();

// Hands the activity that matches the host's playback state right now to the
// connection, which sends it whenever Discord is there; while sharing is
// switched off, no activity (a clear). Does nothing unless started.
void update_presence();

// A lookup found the cover of `found`: publishes the presence again when the
// host still plays or pauses a track of that artist and album.
void republish_with_cover(const cover_key &found);

// The host says the tags of a file may have changed: the listener's
// templates are formatted again, and the presence published.
void presence_tags_changed();

// The card of the entry the host plays or pauses now, as it would be under
// `settings`: with the covers already known (nothing is looked up) and the
// clocks as published, which stay untouched. Nothing when no track plays or
// pauses, or when it would be hidden.
std::optional<discord_activity> presence_card_under(const cfg_settings &settings);
