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

// Asks the catalogue for the track (or, without a title, the album) of
// `result`'s request and notes its match, and the album's cover whenever it
// gives one. False when the second source must still be asked for the album:
// only after a clean answer without a cover, never after a failure.
bool ask_catalogue(http_client *client, cover_result &result, http_cancel *cancel)
{
    const cover_key &key = result.request.key;
    const cover_outcome unknown{cover_verdict::unknown, {}};
    std::optional<http_reply> reply = http_get(client, http_service::catalogue,
                                               deezer_search_path(key.artist, key.title, key.album), cancel);
    deezer_verdict answer;
    if (reply) {
        answer = deezer_judge_reply(reply->status, reply->body.data(), key.title);
    }
    if (!answer.answered) {
        if (!key.title.empty()) {
            result.track = unknown;
        }
        if (result.request.want_album) {
            result.album = unknown;
        }
        return true;
    }
    deezer_reply &found = answer.reply;
    if (!key.title.empty()) {
        // Without the track, an album's tracks still name its artist.
        cover_art links = found.matched ? found.match : cover_art{};
        if (!found.matched && !key.album.empty()) {
            links.artist_page = found.first.artist_page;
        }
        result.track = {found.matched ? cover_verdict::found : cover_verdict::none, std::move(links)};
    }
    // Every track of the reply is on the album asked for: the match's cover, else the
    // first's, which a track of the album not found later shows as well.
    if (!key.album.empty()) {
        const cover_art &album = found.matched && !found.match.url.empty() ? found.match : found.first;
        if (!album.url.empty()) {
            result.album = {cover_verdict::found, {album.url, album.page, album.artist_page, {}, {}}};
            return true;
        }
    }
    return !result.request.want_album;
}

// One lookup: the catalogue first when asked, and only after its clean "no
// cover" (not an error, a time-out or a stall), or directly when the
// catalogue's answer is known already, the second source for an album. Every
// failure, an allocation failure included, is "unknown".
cover_result look_up(http_client *client, const cover_request &request, http_cancel *cancel) noexcept
{
    cover_result failed{request, {}, {}};
    const cover_outcome unknown{cover_verdict::unknown, {}};
    if (request.search_catalogue && !request.key.title.empty()) {
        failed.track = unknown;
    }
    if (request.want_album) {
        failed.album = unknown;
    }
    return guarded(failed, [&] {
        cover_result result{request, {}, {}};
        if (request.search_catalogue && ask_catalogue(client, result, cancel)) {
            return result;
        }
        if (request.want_album && !request.key.album.empty()) {
            result.album = look_up_elsewhere(client, request.key, cancel);
        }
        return result;
    });
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
            deliver(shared, look_up(&client, *request, &shared->cancel));
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
        if (running->in_progress == request || running->queued == request || awaiting_hand_over) {
            return;
        }
        running->queued = request;
    }
    SetEvent(running->wake.get());
}
