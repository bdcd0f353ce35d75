// Plug-in core shared between its modules: the host descriptor, the presence
// dispatcher and the pieces of the track activity. Everything here runs on the
// host's main thread.
#pragma once

#include "cover/cover_cache.h"
#include "discord_game_sdk.h"
#include "winamp_gen.h"

#include <cstdint>

#ifndef PLUGIN_CLIENT_ID
#error "PLUGIN_CLIENT_ID (the Discord application id) must be defined by the build"
#endif

extern winampGeneralPurposePlugin plugin;

// Publishes the activity that matches the host's playback state right now.
// Does nothing unless the plug-in is running (started and not yet stopped)
// and connected to Discord.
void update_presence();

// Builds and publishes the activity of a playing (1) or paused (3) track.
void update_presence_track(int playback_state);

// A lookup found the cover of `found`: publishes the presence again when the
// host still plays or pauses a track of that artist and album.
void republish_with_cover(const cover_key &found);

// Zeroed activity carrying the application id and the name "Winamp".
DiscordActivity new_activity();

// Hands an activity to Discord (see connection_publish).
void publish_activity(DiscordActivity *activity);

// Sends a query to the host's main window (Unicode form).
LRESULT host_query(WPARAM wparam, LPARAM query);
