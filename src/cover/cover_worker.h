// The cover lookup's worker thread: runs the newest lookup asked for away
// from the host's main thread and hands each outcome back to the main thread
// through a message-only window. Started and stopped on the main thread.
#pragma once

#include "cover/cover_cache.h"
#include "cover/cover_verdict.h"

#include <windows.h>

struct cover_result {
    cover_key key;
    cover_outcome outcome; // verdict unknown as well when the exchange failed
};

// Receives a finished lookup on the main thread, from inside its message loop.
using cover_result_handler = void (*)(const cover_result &result);

// Main thread: creates the results window (a class of `dll`'s own) and starts
// the worker. From then until cover_worker_stop, `handler` receives every
// finished lookup. False when either cannot be made: lookups then never run.
bool cover_worker_start(HINSTANCE dll, cover_result_handler handler);

// Main thread: cancels the lookup in progress, forgets the queued one and
// outcomes not yet handed over, destroys the window and waits for the worker
// to end, returning within about a second. A worker still blocked then (Wine
// does not cancel a blocked call) ends within the exchange's deadline and
// unloads the DLL through its own reference, so the host may unload it at once.
void cover_worker_stop();

// Main thread: asks for a lookup of `key`, replacing one still queued. Nothing
// happens when `key` is already queued or being looked up, or when the worker
// is not running.
void cover_worker_request(const cover_key &key);
