// The connection to Discord: one thread of the plug-in's own, from
// connection_start to connection_stop, does all pipe I/O: it looks for
// Discord, shakes hands, sends the newest activity within Discord's rate and
// answers Discord's pings. The host's main thread only hands activities over
// and reads the state; it never touches the pipe and never waits for it.
#pragma once

#include "discord/frames.h"
#include "discord/outbox.h"

#include <cstdint>
#include <optional>
#include <string>

// Main thread, at start-up: starts the connection thread, which holds its own
// reference to the plug-in's DLL. Without a thread nothing is ever sent.
void connection_start();

// Main thread, at shut-down: the thread clears the activity when connected,
// closes the pipe and ends. Returns within about half a second; a thread
// still running then ends on its own and unloads the DLL through its
// reference, so the host may unload the plug-in at once.
void connection_stop();

// Any thread: the activity Discord should show from now on (or none). Returns
// at once; the connection thread sends it when connected and the rate allows,
// and again on every new connection.
void connection_publish(shown_activity activity);

enum class connection_phase {
    waiting,     // for Discord, or for the next attempt after a failed one
    handshaking, // a pipe is open, READY has not come yet
    connected,   // READY came: activities go out
};

// What the connection knows, for telling the user.
struct connection_state {
    connection_phase phase = connection_phase::waiting;
    std::string user_name; // connected: the name READY gave (UTF-8)
    // The CLOSE that ended the last connection, until the next READY.
    std::optional<discord_refusal> closed;
    // Connected: Discord's refusal of the update sent last, until one goes through.
    std::optional<discord_refusal> update_refused;
    // Connected: the refusal after which this connection's updates go without
    // the fields older Discord versions refuse (without_newer_fields).
    std::optional<discord_refusal> newer_fields_refused;
    // Waiting: when the next attempt comes, in GetTickCount64()'s milliseconds.
    std::optional<int64_t> next_attempt_ms;
};

// Any thread: the connection's state now (waiting while it is not running).
connection_state connection_state_now();
