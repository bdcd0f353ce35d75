// What goes to Discord next, and when: the newest activity the plug-in wants
// shown, what the connection sent last, and Discord's rate of about 5
// activity updates per 20 s kept as a sliding window. Intermediate activities
// are dropped, the newest always goes out, an activity equal to the one sent
// last never goes out again. A refused update goes out once more without the
// fields older Discord versions refuse, and from then on every update of that
// connection goes without them. Pure logic on a millisecond clock the caller
// passes in. No Windows API here.
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

// What the player's presence should be: an activity, or none (cleared).
using shown_activity = std::optional<discord_activity>;

struct outbox {
    shown_activity wanted;          // the newest the plug-in handed over
    shown_activity sent;            // the wanted activity sent last on this connection
    std::deque<int64_t> send_times; // of the updates within the window, oldest first
    bool resend = false;            // the update sent last was refused: it goes out again
    bool resent = false;            // the update sent last went out again after a refusal
    // This connection's Discord refused an update: its activities go out
    // without the newer fields (without_newer_fields).
    bool newer_fields_off = false;
};

// The plug-in wants `activity` shown (or nothing).
void outbox_want(outbox *box, shown_activity activity);

// A new connection shows nothing yet: what is wanted goes out again, with
// every field.
void outbox_connected(outbox *box);

// The update to send at `now`, counted as sent; nothing when nothing is due
// or the window is full.
std::optional<shown_activity> outbox_take(outbox *box, int64_t now);

// The time from which outbox_take gives something; nothing while nothing waits.
std::optional<int64_t> outbox_next_time(const outbox &box, int64_t now);

// Discord refused the update sent last. Unless that was already a second
// attempt, it goes out once more, within the window, without the newer
// fields, which stay off for this connection; a refused second attempt waits
// for the next change of the wanted activity.
void outbox_refused(outbox *box);
