// The cover lookup's worker thread: runs the newest lookup asked for away
// from the host's main thread and hands each outcome back to the main thread
// through a message-only window. Started and stopped on the main thread.
#pragma once

#include "cover/cover_cache.h"
#include "cover/cover_verdict.h"

#include <windows.h>

#include <optional>

// Where an album's cover is still to be looked for.
enum class cover_album_search {
    none,          // not wanted
    catalogue,     // the catalogue's, and after its "no cover" the second source's
    second_source, // the catalogue answered it has no cover: only the second source's
};

// A lookup: what of a track is not known yet.
struct cover_request {
    cover_key key;            // the track's
    bool search_track;        // the track at the catalogue (a title is played)
    cover_album_search album; // the album's cover, unless the track's search gives it
    friend bool operator==(const cover_request &, const cover_request &) = default;
};

struct cover_result {
    cover_request request;
    // When the catalogue was asked for the track: found with the track the
    // catalogue matched, none without one; unknown when the exchange failed.
    std::optional<cover_outcome> track;
    // When the album was wanted: its cover (found) or none; unknown when a
    // service failed. Nothing when the track's match brought a cover of its own.
    std::optional<cover_outcome> album;
    // The catalogue answered that it has no cover of the album (then `album`
    // is the second source's outcome).
    bool catalogue_lacks_album = false;
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

// Main thread: asks for `request`, replacing one still queued. Nothing
// happens when it is already queued, being looked up or finished with its
// outcome not yet handed over (the host's notifications come several at a
// time), while held, or when the worker is not running.
void cover_worker_request(const cover_request &request);

// Main thread: holds the worker (it forgets the queued lookup, takes no new
// one, and a lookup in progress starts no exchange after the one under way,
// nor waits out MusicBrainz's pace: what it did not learn is left unanswered,
// to be asked again) or lets it go on.
void cover_worker_hold(bool held);
