// The settings dialog's preview: the card laid out as Discord shows it, in
// the dialog's preview controls. Main thread only.
#pragma once

#include "discord/activity.h"

#include <windows.h>

#include <optional>

// Shows `card` in the preview controls of `dialog`, or says that Discord
// shows nothing; `sample`: the card is of a sample track, since nothing plays.
void show_card_preview(HWND dialog, const std::optional<discord_activity> &card, bool sample);
