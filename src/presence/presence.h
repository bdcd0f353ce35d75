// The presence dispatcher: what the player does now, published to Discord as
// the idle or the track activity. Main thread only.
#pragma once

#include "cover/cover_cache.h"

// From start-up to shut-down update_presence publishes; before and after, nothing.
void presence_start();
void presence_stop();

// Hands the activity that matches the host's playback state right now to the
// connection, which sends it whenever Discord is there. Does nothing unless started.
void update_presence();

// A lookup found the cover of `found`: publishes the presence again when the
// host still plays or pauses a track of that artist and album.
void republish_with_cover(const cover_key &found);
