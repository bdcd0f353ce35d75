// What the settings dialog shows before OK: the card the plug-in would
// publish under the settings being edited. Main thread only.
#pragma once

#include "config/settings.h"
#include "discord/activity.h"

#include <optional>

// The card the plug-in would publish now under `settings` for the entry the
// host plays or pauses (with the covers already known: nothing goes to the
// network), or for a built-in sample track when nothing plays, as it passes
// the publishing gate. Nothing when the card would be hidden (a paused track
// with "Hide while paused") or nothing is shared.
std::optional<discord_activity> presence_preview(const cfg_settings &settings);
