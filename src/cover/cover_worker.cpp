// Cover worker: the state shared by the main thread and the worker, the
// worker's loop, and the window through which outcomes reach the main thread.
#include "cover/cover_worker.h"

#include "common/exclusive_lock.h"
#include "common/guarded.h"
#include "common/plugin_thread.h"
#include "common/unique_handle.h"
#include "cover/cover_http.h"

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
    std::optional<cover_key> queued;
    std::optional<cover_key> in_progress;
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
std::optional<cover_key> next_lookup(worker_shared *shared)
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

// The second source, asked when the catalogue answered that it has no cover:
// MusicBrainz's release group of the album, then its front image at the
// Cover Art Archive. Keeps the catalogue's links.
cover_outcome look_up_elsewhere(http_client *client, const cover_key &key, cover_outcome catalogue,
                                http_cancel *cancel)
{
    const cover_outcome unknown{cover_verdict::unknown, {}};
    std::optional<http_reply> reply =
        http_get(client, http_service::musicbrainz, cover_release_group_path(key.artist, key.album), cancel);
    if (!reply) {
        return unknown;
    }
    const release_group_verdict group =
        cover_judge_release_groups(reply->status, reply->body.data(), key.album);
    if (group.verdict != cover_verdict::found) {
        return {group.verdict, group.verdict == cover_verdict::none ? std::move(catalogue.art) : cover_art{}};
    }
    reply = http_get(client, http_service::cover_art_archive, cover_front_path(group.mbid), cancel);
    if (!reply) {
        return unknown;
    }
    cover_outcome front = cover_judge_front(reply->status, reply->location, group.mbid);
    if (front.verdict == cover_verdict::unknown) {
        return unknown;
    }
    front.art.artist_page = std::move(catalogue.art.artist_page);
    front.art.track_page = std::move(catalogue.art.track_page);
    front.art.track_title = std::move(catalogue.art.track_title);
    return front;
}

// One lookup: the catalogue first, and only after its clean "no cover" (not
// an error, a time-out or a stall) the second source, which needs the album's
// name. Every failure, an allocation failure included, is "unknown".
cover_outcome look_up(http_client *client, const cover_key &key, http_cancel *cancel) noexcept
{
    const cover_outcome unknown{cover_verdict::unknown, {}};
    return guarded(unknown, [&] {
        std::optional<http_reply> reply =
            http_get(client, http_service::catalogue, cover_search_path(key.artist, key.album), cancel);
        if (!reply) {
            return unknown;
        }
        cover_outcome catalogue = cover_judge_reply(reply->status, reply->body.data());
        if (catalogue.verdict != cover_verdict::none || key.album.empty()) {
            return catalogue;
        }
        return look_up_elsewhere(client, key, std::move(catalogue), cancel);
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
            const std::optional<cover_key> key = next_lookup(shared);
            if (!key) {
                return;
            }
            deliver(shared, {*key, look_up(&client, *key, &shared->cancel)});
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

void cover_worker_request(const cover_key &key)
{
    if (!running) {
        return;
    }
    {
        exclusive_lock hold(running->lock);
        // A lookup just ended whose outcome the main thread has not taken yet
        // is not asked again: the host's notifications come several at a time.
        const bool awaiting_hand_over =
            std::ranges::any_of(running->finished, [&](const cover_result &done) { return done.key == key; });
        if (running->in_progress == key || running->queued == key || awaiting_hand_over) {
            return;
        }
        running->queued = key;
    }
    SetEvent(running->wake.get());
}
