// What goes to Discord next, and when: the newest activity the plug-in wants
// shown, what the connection sent last, and Discord's rate of about 5
// activity updates per 20 s kept as a sliding window. Intermediate activities
// are dropped, the newest always goes out, an activity equal to the one sent
// last never goes out again, and a refused one is retried once. Pure logic
// on a millisecond clock the caller passes in. No Windows API here.
#pragma once

#include "discord/activity.h"

#include <cstdint>
#include <deque>
#include <optional>

// Updates within one window. Bursts beyond Discord's limit have been seen to
// blank the presence that other users see.
inline constexpr size_t outbox_window_updates = 5;
// Discord's window is 20 s; the extra second keeps the updates within it
// however their delivery through the pipe is delayed.
inline constexpr int64_t outbox_window_ms = 21000;
// A refused update goes out once more after this delay, unless a newer one
// replaces it first.
inline constexpr int64_t outbox_retry_ms = 5000;

// What the player's presence should be: an activity, or none (cleared).
using shown_activity = std::optional<discord_activity>;

struct outbox {
    shown_activity wanted;           // the newest the plug-in handed over
    shown_activity sent;             // what Discord shows, as far as this connection knows
    std::deque<int64_t> send_times;  // of the updates within the window, oldest first
    std::optional<int64_t> retry_at; // a refused update goes out again then
    bool retry_sent = false;         // the update sent last was such a retry
};

// The plug-in wants `activity` shown (or nothing).
void outbox_want(outbox *box, shown_activity activity);

// A new connection shows nothing yet: what is wanted goes out again.
void outbox_connected(outbox *box);

// The update to send at `now`, counted as sent; nothing when nothing is due
// or the window is full.
std::optional<shown_activity> outbox_take(outbox *box, int64_t now);

// The time from which outbox_take gives something; nothing while nothing waits.
std::optional<int64_t> outbox_next_time(const outbox &box, int64_t now);

// Discord refused the update sent last: it goes out once more after a delay
// (not when it was that retry already).
void outbox_refused(outbox *box, int64_t now);
