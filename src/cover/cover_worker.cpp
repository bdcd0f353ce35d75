// Cover worker: the state shared by the main thread and the worker, the
// worker's loop, and the window through which outcomes reach the main thread.
#include "cover/cover_worker.h"

#include "common/exclusive_lock.h"
#include "common/guarded.h"
#include "common/plugin_thread.h"
#include "common/unique_handle.h"
#include "cover/cover_art_archive.h"
#include "cover/cover_http.h"
#include "cover/deezer.h"
#include "cover/musicbrainz.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr wchar_t results_class[] = L"DiscordCorvaneCoverResults";
constexpr UINT results_ready = WM_APP + 1;

// How long the host's main thread waits in quit for the worker to end.
constexpr DWORD stop_wait_ms = 800;

// Shared between the main thread and the worker; each holds a reference, so a
// worker that outlives cover_worker_stop still has it.
struct worker_shared {
    SRWLOCK lock = SRWLOCK_INIT;
    kernel_handle wake; // auto-reset: a lookup was queued, or stop
    bool stopping = false;
    bool held = false;               // see cover_worker_hold
    bool held_during_lookup = false; // held at some time since the lookup in progress was taken
    std::optional<cover_request> queued;
    std::optional<cover_request> in_progress;
    std::vector<cover_result> finished; // not yet handed over
    HWND results_window = nullptr;      // NULL once the main thread no longer listens
    http_cancel cancel;
};

// Main thread's side.
std::shared_ptr<worker_shared> running;
plugin_thread worker_thread;
HWND results_window;
HINSTANCE window_instance;
cover_result_handler result_handler;

// Waits for the next lookup and marks it in progress; nothing when stopping.
std::optional<cover_request> next_lookup(worker_shared *shared)
{
    for (;;) {
        {
            exclusive_lock hold(shared->lock);
            if (shared->stopping) {
                return std::nullopt;
            }
            if (shared->queued) {
                shared->in_progress = std::exchange(shared->queued, std::nullopt);
                shared->held_during_lookup = shared->held;
                return shared->in_progress;
            }
        }
        WaitForSingleObject(shared->wake.get(), INFINITE);
    }
}

// The second source, asked for an album the catalogue has no cover of:
// MusicBrainz's release group of the album by the artist, then its front
// image at the Cover Art Archive.
cover_outcome look_up_elsewhere(http_client *client, const cover_key &key, http_cancel *cancel)
{
    const cover_outcome unknown{cover_verdict::unknown, {}};
    std::optional<http_reply> reply = http_get(client, http_service::musicbrainz,
                                               musicbrainz_release_group_path(key.artist, key.album), cancel);
    if (!reply) {
        return unknown;
    }
    const release_group_verdict group =
        musicbrainz_judge_release_groups(reply->status, reply->body.data(), key.artist, key.album);
    if (group.verdict != cover_verdict::found) {
        return {group.verdict, {}};
    }
    reply =
        http_get(client, http_service::cover_art_archive, cover_art_archive_front_path(group.mbid), cancel);
    if (!reply) {
        return unknown;
    }
    return cover_art_archive_judge_front(reply->status, reply->location, group.mbid);
}

// Asks the catalogue for the track of `result`'s request and notes its match,
// and the album's cover when a result on the album gives one. False when the
// exchange failed: nothing more is asked then.
bool search_track(http_client *client, cover_result &result, http_cancel *cancel)
{
    const cover_key &key = result.request.key;
    std::optional<http_reply> reply = http_get(
        client, http_service::catalogue, deezer_track_search_path(key.artist, key.title, key.album), cancel);
    deezer_track_verdict answer;
    if (reply) {
        answer = deezer_judge_track_reply(reply->status, reply->body.data(), key);
    }
    result.track = std::move(answer.track);
    if (!answer.answered) {
        if (result.request.album != cover_album_search::none) {
            result.album = cover_outcome{cover_verdict::unknown, {}};
        }
        return false;
    }
    if (!answer.album.url.empty()) {
        result.album = cover_outcome{cover_verdict::found, std::move(answer.album)};
    }
    return true;
}

// Whether a hold came while the lookup in progress ran, even one released
// since: its exchanges may have been refused.
bool held_during_lookup(worker_shared *shared)
{
    exclusive_lock hold(shared->lock);
    return shared->held_during_lookup;
}

// Asks the catalogue for the album of `result`'s request; true when it
// answered that it has no cover of it, so that the second source is asked.
bool search_album(http_client *client, cover_result &result, http_cancel *cancel)
{
    const cover_key &key = result.request.key;
    std::optional<http_reply> reply =
        http_get(client, http_service::catalogue, deezer_album_search_path(key.artist, key.album), cancel);
    result.album = reply ? deezer_judge_album_reply(reply->status, reply->body.data(), key.artist, key.album)
                         : cover_outcome{cover_verdict::unknown, {}};
    result.catalogue_lacks_album = result.album->verdict == cover_verdict::none;
    return result.catalogue_lacks_album;
}

// What a lookup cut short by the hold did not learn (its exchanges refused:
// "unknown") is left unanswered rather than failed, so that it is asked again
// once the worker goes on.
void leave_unanswered_what_the_hold_cut_short(cover_result *result)
{
    for (std::optional<cover_outcome> *outcome : {&result->track, &result->album}) {
        if (*outcome && (*outcome)->verdict == cover_verdict::unknown) {
            outcome->reset();
        }
    }
}

// One lookup: the track at the catalogue when asked; then, while the album's
// cover is wanted and still unknown (and the track's match brought none), the
// album at the catalogue, and only after its clean "no cover" (not an error,
// a time-out or a stall), or directly when the catalogue's answer is known
// already, the second source. Once the worker is held no exchange starts.
// Every failure, an allocation failure included, is "unknown".
cover_result look_up(http_client *client, const cover_request &request, worker_shared *shared) noexcept
{
    http_cancel *cancel = &shared->cancel;
    cover_result failed{request, {}, {}, request.album == cover_album_search::second_source};
    const cover_outcome unknown{cover_verdict::unknown, {}};
    if (request.search_track) {
        failed.track = unknown;
    }
    if (request.album != cover_album_search::none) {
        failed.album = unknown;
    }
    cover_result looked_up = guarded(failed, [&] {
        cover_result result{request, {}, {}, request.album == cover_album_search::second_source};
        if (request.search_track && !search_track(client, result, cancel)) {
            return result;
        }
        const bool album_open = request.album != cover_album_search::none && !result.album &&
                                !(result.track && !result.track->art.url.empty());
        if (!album_open || request.key.album.empty()) {
            return result;
        }
        if (request.album == cover_album_search::catalogue && !search_album(client, result, cancel)) {
            return result;
        }
        result.album = look_up_elsewhere(client, request.key, cancel);
        return result;
    });
    if (held_during_lookup(shared)) {
        leave_unanswered_what_the_hold_cut_short(&looked_up);
    }
    return looked_up;
}

// Queues an outcome for the main thread and wakes it, unless it stopped listening.
void deliver(worker_shared *shared, cover_result result)
{
    exclusive_lock hold(shared->lock);
    shared->in_progress.reset();
    if (shared->results_window != nullptr) {
        shared->finished.push_back(std::move(result));
        PostMessageW(shared->results_window, results_ready, 0, 0);
    }
}

void run_lookups(worker_shared *shared) noexcept
{
    http_client client;
    for (;;) {
        try {
            const std::optional<cover_request> request = next_lookup(shared);
            if (!request) {
                return;
            }
            deliver(shared, look_up(&client, *request, shared));
        } catch (...) {
            // An outcome that cannot be queued is lost; the next play asks again.
            exclusive_lock hold(shared->lock);
            shared->in_progress.reset();
        }
    }
}

void hand_over_results()
{
    if (!running) {
        return;
    }
    std::vector<cover_result> results;
    {
        exclusive_lock hold(running->lock);
        results.swap(running->finished);
    }
    for (const cover_result &result : results) {
        result_handler(result);
    }
}

LRESULT CALLBACK results_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == results_ready) {
        // Outcomes lost to an allocation failure are looked up again on the next play.
        guarded(&hand_over_results);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

bool create_results_window(HINSTANCE dll)
{
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = &results_window_procedure;
    window_class.hInstance = dll;
    window_class.lpszClassName = results_class;
    if (RegisterClassExW(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }
    results_window =
        CreateWindowExW(0, results_class, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, dll, nullptr);
    if (results_window == nullptr) {
        UnregisterClassW(results_class, dll);
        return false;
    }
    window_instance = dll;
    return true;
}

void destroy_results_window()
{
    DestroyWindow(results_window);
    results_window = nullptr;
    UnregisterClassW(results_class, window_instance);
}

} // namespace

bool cover_worker_start(HINSTANCE dll, cover_result_handler handler)
{
    if (running) {
        return true;
    }
    try {
        auto shared = std::make_shared<worker_shared>();
        shared->wake.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (!shared->wake || !create_results_window(dll)) {
            return false;
        }
        shared->results_window = results_window;
        result_handler = handler;
        if (!worker_thread.start([shared] { run_lookups(shared.get()); })) {
            destroy_results_window();
            return false;
        }
        running = std::move(shared);
        return true;
    } catch (...) {
        if (results_window != nullptr) {
            destroy_results_window();
        }
        return false;
    }
}

void cover_worker_stop()
{
    if (!running) {
        return;
    }
    {
        exclusive_lock hold(running->lock);
        running->stopping = true;
        running->queued.reset();
        running->results_window = nullptr;
    }
    http_cancel_all(&running->cancel);
    SetEvent(running->wake.get());
    worker_thread.stop(stop_wait_ms);
    running.reset();
    destroy_results_window();
}

void cover_worker_request(const cover_request &request)
{
    if (!running) {
        return;
    }
    {
        exclusive_lock hold(running->lock);
        const bool awaiting_hand_over = std::ranges::any_of(
            running->finished, [&](const cover_result &done) { return done.request == request; });
        if (running->held || running->in_progress == request || running->queued == request ||
            awaiting_hand_over) {
            return;
        }
        running->queued = request;
    }
    SetEvent(running->wake.get());
}

void cover_worker_hold(bool held)
{
    if (!running) {
        return;
    }
    {
        exclusive_lock hold(running->lock);
        running->held = held;
        if (held) {
            running->held_during_lookup = true;
            running->queued.reset();
        }
    }
    http_hold(&running->cancel, held);
}
