// Timed run of the simulated host (a benchmark, not a test): how long the
// host's main thread is held per playback-status notification for a track
// without a cover lookup, the first lookup, a repeated album, a new album on
// the open connection and a stalled catalogue; how long the cover takes to
// reach the main thread after the notification; how long quit takes during a
// stall; the main thread's time in each notification of a track change's
// burst (the stop and play sequences as the host posts them) and in all it
// handles for the burst, with and without the plug-in, and with the
// listener's own lines formatted by the host; and three idle periods
// (without the plug-in; with it, Discord connected and nothing playing; Discord absent) in which
// scripts/bench counts how often the process wakes.
#include "../integration/catalogue.h"
#include "fake_discord.h"
#include "sim_host.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

double now_ms()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// Whether `message` hands a finished cover lookup to the main thread.
bool is_cover_hand_back(const MSG &message)
{
    wchar_t name[64] = {};
    return message.hwnd != nullptr && GetClassNameW(message.hwnd, name, 64) > 0 &&
           std::wcscmp(name, L"DiscordCorvaneCoverResults") == 0;
}

struct cover_timing {
    double notification_ms; // the main thread inside the notification
    double cover_ms;        // from the notification to the cover's hand-back; <0 when none came
    double hand_back_ms;    // the main thread handling the outcome (cache, republish)
};

// Sends the status notification for `file` playing and handles the messages
// it left waiting (the plug-in's mark of the host's queue), then runs
// the host's message loop until the lookup's outcome has been handed to the
// main thread (at most `wait_ms`; 0: not at all).
cover_timing play(sim_host &host, const std::wstring &file, unsigned wait_ms)
{
    host.playing_file = file;
    host.playback_state = 1;
    cover_timing timing{0, -1, 0};
    const double begin = now_ms();
    // Sent rather than posted, so that its handling is timed here.
    host.send_notification(IPC_CB_MISC_STATUS);
    for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
        DispatchMessageW(&message);
        if (is_cover_hand_back(message)) {
            timing.cover_ms = now_ms() - begin;
        }
    }
    timing.notification_ms = now_ms() - begin;
    while (wait_ms > 0 && timing.cover_ms < 0 && now_ms() - begin < wait_ms) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            const double dispatched = now_ms();
            DispatchMessageW(&message);
            if (is_cover_hand_back(message)) {
                timing.hand_back_ms = now_ms() - dispatched;
                timing.cover_ms = now_ms() - begin;
                break;
            }
        }
    }
    return timing;
}

// Whether `message` is one of the host's IPC_CB_MISC notifications.
bool is_notification(const MSG &message)
{
    return message.message == WM_WA_IPC && message.lParam == IPC_CB_MISC;
}

// The main thread's time in a track change's burst: in each of the host's
// notifications, and in every message it handled (the notifications, the
// plug-in's own messages and timers), a sum per track change.
struct burst_timing {
    std::vector<double> per_notification;
    std::vector<double> per_track_change;
};

// Plays `file` as Next does (the stop and play notifications, posted), then
// runs the host's message loop until the notifications that follow ~100 ms
// later have been handled too, and adds the main thread's time to `timing`.
void track_change(sim_host &host, const std::wstring &file, burst_timing &timing)
{
    host.play(file);
    double all_messages = 0;
    const double begin = now_ms();
    while (now_ms() - begin < 200) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            const double dispatched = now_ms();
            DispatchMessageW(&message);
            const double handled = now_ms() - dispatched;
            all_messages += handled;
            if (is_notification(message)) {
                timing.per_notification.push_back(handled);
            }
        }
    }
    timing.per_track_change.push_back(all_messages);
}

// This process's id as Linux knows it (each Windows thread under Wine is a
// task of it), read from its /proc entry; 0 when there is none.
int linux_process_id()
{
    int id = 0;
    if (FILE *status = _wfopen(L"Z:\\proc\\self\\status", L"r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr && std::sscanf(line, "Pid: %d", &id) != 1) {
        }
        std::fclose(status);
    }
    return id;
}

// Milliseconds since 1970, the clock scripts/bench samples the process's
// context switches against.
long long unix_time_ms()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const unsigned long long intervals =
        (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<long long>((intervals - 116444736000000000ULL) / 10000);
}

// Idles as Winamp does (the main thread waits for messages and handles them)
// for `seconds`, then prints the period as "idle <what> <from> <to>" for
// scripts/bench, which counts the process's wake-ups in it.
void idle_phase(const char *what, int seconds)
{
    const long long from = unix_time_ms();
    const DWORD begin = GetTickCount();
    for (DWORD elapsed = 0; elapsed < static_cast<DWORD>(seconds) * 1000; elapsed = GetTickCount() - begin) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(seconds) * 1000 - elapsed,
                                  QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
    }
    std::printf("idle %s %lld %lld\n", what, from, unix_time_ms());
}

sim_track tagged(int album)
{
    sim_track track;
    track.tags = {{L"title", L"Track " + std::to_wstring(album)},
                  {L"artist", L"Artist " + std::to_wstring(album)},
                  {L"album", L"Album"}};
    return track;
}

void print_row(const char *what, double ms, double baseline)
{
    std::printf("  %-40s %9.3f ms  %8.1fx baseline\n", what, ms, ms / baseline);
}

// Median and slowest sample of a main-thread figure.
void print_samples(const char *what, const std::vector<double> &samples, double baseline)
{
    const double slowest = *std::max_element(samples.begin(), samples.end());
    std::printf("  %-40s %9.3f ms  %8.1fx baseline   slowest %7.3f ms\n", what, median(samples),
                median(samples) / baseline, slowest);
}

} // namespace

int main()
{
    if (!catalogue_available()) {
        std::fprintf(stderr, "run under tests/private-net-run\n");
        return 1;
    }
    catalogue_reset();
    fake_discord discord;
    sim_host host;
    constexpr int samples = 300;
    constexpr int stalled_samples = 30;
    for (int i = 0; i <= samples + stalled_samples; ++i) {
        host.library[L"tagged" + std::to_wstring(i)] = tagged(i);
        sim_track untagged;
        untagged.extended = false;
        untagged.display_title = L"Untagged " + std::to_wstring(i);
        host.library[L"untagged" + std::to_wstring(i)] = untagged;
    }
    std::printf("pid %d\n", linux_process_id());
    constexpr int idle_seconds = 20;
    idle_phase("without_the_plugin", idle_seconds);
    constexpr int track_changes = 60;
    burst_timing burst_without_plugin, burst_with_plugin;
    for (int i = 1; i <= track_changes; ++i) {
        track_change(host, L"tagged" + std::to_wstring(i), burst_without_plugin);
    }
    host.stop();
    host.pump(200);
    if (!host.load_plugin() || host.init_plugin() != 0) {
        std::fprintf(stderr, "the plug-in did not start\n");
        return 1;
    }
    host.pump(1000);
    idle_phase("plugin_discord_connected", idle_seconds);
    discord.go_away();
    host.pump(1000);
    idle_phase("plugin_discord_absent", idle_seconds);
    discord.come_back();
    host.pump(6000);

    std::vector<double> no_lookup, new_album, new_album_cover, hand_back, repeated, stalled;
    for (int i = 1; i <= samples; ++i) {
        no_lookup.push_back(play(host, L"untagged" + std::to_wstring(i), 0).notification_ms);
    }
    const cover_timing first = play(host, L"tagged0", 10000);
    for (int i = 1; i <= samples; ++i) {
        const cover_timing timing = play(host, L"tagged" + std::to_wstring(i), 10000);
        new_album.push_back(timing.notification_ms);
        new_album_cover.push_back(timing.cover_ms);
        hand_back.push_back(timing.hand_back_ms);
    }
    for (int i = 1; i <= samples; ++i) {
        repeated.push_back(play(host, L"tagged" + std::to_wstring(i), 0).notification_ms);
    }
    // Covers known by now (once through, for those whose lookup failed a
    // while ago): a track change costs the host's queries and the card.
    burst_timing covers_known;
    for (int i = 1; i <= track_changes; ++i) {
        track_change(host, L"tagged" + std::to_wstring(i), covers_known);
    }
    for (int i = 1; i <= track_changes; ++i) {
        track_change(host, L"tagged" + std::to_wstring(i), burst_with_plugin);
    }
    catalogue_respond(R"({"stall":true})");
    for (int i = samples + 1; i <= samples + stalled_samples; ++i) {
        stalled.push_back(play(host, L"tagged" + std::to_wstring(i), 0).notification_ms);
        host.pump(20);
    }
    const double quitting = now_ms();
    host.quit_plugin();
    const double quit_ms = now_ms() - quitting;
    catalogue_reset();

    // The same bursts with the listener's own lines, which the host formats.
    host.unload_plugin();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    host.ini_directory_w = std::wstring(temp) + L"corvane-bench";
    CreateDirectoryW(host.ini_directory_w.c_str(), nullptr);
    CreateDirectoryW((host.ini_directory_w + L"\\Plugins").c_str(), nullptr);
    CreateDirectoryW((host.ini_directory_w + L"\\Plugins\\tolvek").c_str(), nullptr);
    if (FILE *settings = _wfopen((host.ini_directory_w + L"\\Plugins\\tolvek\\config.ini").c_str(), L"wb")) {
        std::fputs("[Display configuration]\r\nTitle line=$upper(%title%) %playstate%\r\n"
                   "Artist line=%artist%[ - %album%][ (%genre%)]\r\n",
                   settings);
        std::fclose(settings);
    }
    burst_timing burst_with_templates;
    if (!host.load_plugin() || host.init_plugin() != 0) {
        std::fprintf(stderr, "the plug-in did not start again\n");
        return 1;
    }
    host.pump(1000);
    // The covers are looked up again after the start: first once through.
    burst_timing covers_found;
    for (int i = 1; i <= track_changes; ++i) {
        track_change(host, L"tagged" + std::to_wstring(i), covers_found);
    }
    const int formatted_before = host.queries_received(IPC_FORMAT_TITLE_EXTENDED);
    for (int i = 1; i <= track_changes; ++i) {
        track_change(host, L"tagged" + std::to_wstring(i), burst_with_templates);
    }
    const int formatted = host.queries_received(IPC_FORMAT_TITLE_EXTENDED) - formatted_before;
    host.quit_plugin();

    const double baseline = median(no_lookup);
    std::printf("host main thread per status notification (median of %d, %d when stalled)\n", samples,
                stalled_samples);
    print_samples("no cover lookup (baseline)", no_lookup, baseline);
    print_row("first lookup (one sample)", first.notification_ms, baseline);
    print_samples("repeated album (cover from the cache)", repeated, baseline);
    print_samples("new album, open connection", new_album, baseline);
    print_samples("stalled catalogue", stalled, baseline);
    std::printf("host main thread per notification of a track change's burst (stop and play sequences,\n"
                "posted; %d track changes, covers known), median\n",
                track_changes);
    const double without_plugin = median(burst_without_plugin.per_notification);
    print_samples("without the plug-in (baseline)", burst_without_plugin.per_notification, without_plugin);
    print_samples("with the plug-in", burst_with_plugin.per_notification, without_plugin);
    print_samples("with the plug-in and its own lines", burst_with_templates.per_notification,
                  without_plugin);
    std::printf("host main thread per track change, every message it handled in the burst, median\n");
    const double change_without_plugin = median(burst_without_plugin.per_track_change);
    print_samples("without the plug-in (baseline)", burst_without_plugin.per_track_change,
                  change_without_plugin);
    print_samples("with the plug-in", burst_with_plugin.per_track_change, change_without_plugin);
    print_samples("with the plug-in and its own lines", burst_with_templates.per_track_change,
                  change_without_plugin);
    std::printf("  %-40s %9.2f per track change\n", "titles formatted by the host",
                static_cast<double>(formatted) / track_changes);
    std::printf("host main thread handing a found cover over (republish), median\n");
    print_samples("cover hand-back", hand_back, baseline);
    std::printf("notification to the cover's hand-back on the main thread\n");
    std::printf("  %-40s %9.3f ms\n", "first lookup (TLS handshake)", first.cover_ms);
    std::printf("  %-40s %9.3f ms\n", "new album, open connection (median)", median(new_album_cover));
    std::printf("quit during a stalled lookup\n");
    std::printf("  %-40s %9.3f ms\n", "quit", quit_ms);
    return 0;
}
