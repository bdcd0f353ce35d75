// The connection to Discord: no SDK (for good), waiting for Discord (creation
// retried every few seconds), or connected (the SDK pumped every 16 ms, and a
// core that stops working destroyed and replaced). Main thread only.
#pragma once

#include "discord_game_sdk.h"

#include <windows.h>

#include <string>

// Finds the SDK beside `plugin_module` (or through the normal search) and
// connects when Discord runs. `on_connected` runs on every (re)connection,
// so that the current state is published at once.
void connection_start(HMODULE plugin_module, void (*on_connected)());

// Clears the activity when connected, destroys the core and stops every
// timer: nothing of the connection runs after it returns. The SDK's DLL
// stays loaded.
void connection_stop();

// True while connected: publications reach Discord.
bool connection_ready();

// Sends `activity` to Discord unless it equals, byte for byte, the one sent
// last on this connection. Does nothing unless connected.
void connection_publish(const DiscordActivity &activity);

// One line for the user: connected, waiting for Discord, or what is wrong
// with the SDK and where it was looked for.
std::wstring connection_status_text();
