// The connection to Discord: one thread of the plug-in's own, from
// connection_start to connection_stop, does all pipe I/O: it looks for
// Discord, shakes hands, sends the newest activity within Discord's rate and
// answers Discord's pings. The host's main thread only hands activities over
// and reads the status; it never touches the pipe and never waits for it.
#pragma once

#include "discord/outbox.h"

#include <windows.h>

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

// One line for the user: connected (as whom), waiting for Discord, or what
// Discord refused.
std::wstring connection_status_text();
