// Demo: a short scripted Winamp session with the real plug-in DLL and the
// stand-in SDK, printing every activity the plug-in publishes as a card: at
// once on each notification, and again when a track's cover has been found.
#include "sim_host.h"
#include "stub_sdk_control.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

int cards_printed;

void print_field(const char *label, const char *value)
{
    if (value[0] != '\0') {
        std::printf("  | %-8s %s\n", label, value);
    }
}

void print_card(const stub_sdk_event &event)
{
    if (event.kind == STUB_SDK_CLEAR_ACTIVITY) {
        std::printf("  [clear activity]\n");
        return;
    }
    const DiscordActivity &activity = event.activity;
    std::printf("  +-- activity (application %lld)\n", static_cast<long long>(activity.application_id));
    print_field("name", activity.name);
    print_field("state", activity.state);
    print_field("details", activity.details);
    if (activity.timestamps.start != 0) {
        const time_t start = static_cast<time_t>(activity.timestamps.start);
        const long long elapsed = static_cast<long long>(std::time(nullptr)) - activity.timestamps.start;
        char when[32];
        std::strftime(when, sizeof when, "%H:%M:%S UTC", std::gmtime(&start));
        std::printf("  | %-8s started %s, %lld s elapsed\n", "elapsed", when, elapsed);
    }
    print_field("image", activity.assets.large_image);
    std::printf("  +--\n");
}

// Prints the activity requests made since the last call.
void print_new_cards()
{
    const int count = stub_sdk_event_count();
    if (count == cards_printed) {
        std::printf("  (nothing published)\n");
    }
    for (; cards_printed < count; ++cards_printed) {
        stub_sdk_event event;
        stub_sdk_event_at(cards_printed, &event);
        print_card(event);
    }
}

// A track activity still waiting for its cover: the cover lookup's worker is
// asking the catalogue meanwhile.
bool waits_for_cover()
{
    stub_sdk_event event{};
    stub_sdk_event_at(stub_sdk_event_count() - 1, &event);
    return event.kind == STUB_SDK_UPDATE_ACTIVITY && event.activity.details[0] != '\0' &&
           std::strcmp(event.activity.assets.large_image, "winamp-logo") == 0;
}

// Runs the host's message loop until the plug-in publishes something new, for
// at most `limit_ms`; returns how long it waited.
DWORD await_publication(sim_host &host, DWORD limit_ms)
{
    const DWORD begin = GetTickCount();
    const int published = stub_sdk_event_count();
    while (stub_sdk_event_count() == published && GetTickCount() - begin < limit_ms) {
        host.pump(20);
    }
    return GetTickCount() - begin;
}

// Prints what the notification published at once; then, for a track whose
// cover is being looked up, runs the host's message loop until the activity
// comes again with the cover (a few seconds at most) and prints that too.
void step(sim_host &host, const char *what)
{
    if (what[0] != '\0') {
        std::printf("\n%s\n", what);
    }
    print_new_cards();
    if (!waits_for_cover()) {
        host.pump(100);
        return;
    }
    const int published = stub_sdk_event_count();
    const DWORD waited = await_publication(host, 3000);
    if (stub_sdk_event_count() > published) {
        std::printf("  ... %lu ms later, when the lookup has found the cover:\n", waited);
        print_new_cards();
    } else {
        std::printf("  ... no cover found within %lu ms: the logo stays\n", waited);
    }
}

// Runs the host's message loop until the plug-in, which looks for Discord
// every few seconds, has published again; prints how long that took.
void await_discord(sim_host &host)
{
    std::printf("  ... %lu ms later, the plug-in has found Discord and sent what plays now:\n",
                await_publication(host, 10000));
}

sim_track tagged(const wchar_t *title, const wchar_t *artist, const wchar_t *album)
{
    sim_track track;
    track.tags = {{L"title", title}, {L"artist", artist}, {L"album", album}};
    track.display_title = std::wstring(artist) + L" - " + title;
    return track;
}

} // namespace

// Prints the settings file the plug-in wrote, with its line ends shown.
void print_settings_file(const std::wstring &path)
{
    FILE *file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) {
        std::printf("  settings file: not written\n");
        return;
    }
    std::printf("  settings file %ls:\n    ", path.c_str());
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
        if (c == '\r') {
            std::printf("\\r");
        } else if (c == '\n') {
            std::printf("\\n\n    ");
        } else {
            std::putchar(c);
        }
    }
    std::printf("(%ld bytes)\n", std::ftell(file));
    std::fclose(file);
}

int main()
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    sim_host host;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring plugins = std::wstring(temp) + L"corvane-demo\\Plugins";
    CreateDirectoryW((std::wstring(temp) + L"corvane-demo").c_str(), nullptr);
    CreateDirectoryW(plugins.c_str(), nullptr);
    DeleteFileW((plugins + L"\\tolvek\\config.ini").c_str());
    host.ini_directory_w = std::wstring(temp) + L"corvane-demo";
    host.library[L"C:\\Music\\blue.mp3"] = tagged(L"Blue", L"The Band", L"First Album");
    host.library[L"C:\\Music\\nocturne.flac"] =
        tagged(L"Nocturne in E-flat", L"Frédéric Chopin", L"Nocturnes, Op. 9");
    sim_track untagged;
    untagged.extended = false;
    untagged.display_title = L"12. Unknown Artist - track12";
    host.library[L"C:\\Music\\track12.wav"] = untagged;

    std::printf("Discord Corvane demo: a simulated Winamp runs gen_DiscordCorvane.dll\n"
                "against a stand-in Discord Game SDK.\n\n");
    if (!host.load_plugin()) {
        std::printf("cannot load gen_DiscordCorvane.dll (error %lu)\n", GetLastError());
        return 1;
    }
    std::printf("loaded plug-in: \"%s\" (descriptor version 0x%X)\n", host.descriptor()->description,
                host.descriptor()->version);

    // Discord starts after Winamp, as it may at log-in.
    stub_sdk_set_discord_running(0);
    const int started = host.init_plugin();
    stub_sdk_creation creation{};
    stub_sdk_last_creation(&creation);
    std::printf("init returned %d\n", started);
    std::printf("  DiscordCreate: version %d, client id %lld, flags %llu\n", creation.version,
                static_cast<long long>(creation.params.client_id),
                static_cast<unsigned long long>(creation.params.flags));
    std::printf("  main window subclassed: %s\n",
                host.current_procedure() != host.own_procedure() ? "yes" : "no");
    if (started != 0) {
        return 1;
    }
    step(host, "player stopped at start, Discord not running yet:");
    stub_sdk_set_discord_running(1);
    std::printf("\nDiscord starts:\n");
    await_discord(host);
    step(host, "");

    host.play(L"C:\\Music\\blue.mp3");
    step(host, "plays \"Blue\":");
    host.notify_status();
    step(host, "the same notification again (nothing new to send):");
    host.output_time_ms = 42000;
    host.pause();
    step(host, "paused 42 s into the track:");
    host.resume();
    step(host, "resumed:");
    stub_sdk_set_discord_running(0);
    host.pump(300);
    stub_sdk_set_discord_running(1);
    std::printf("\nDiscord quits and comes back (it updates itself):\n");
    await_discord(host);
    step(host, "");
    host.play(L"C:\\Music\\nocturne.flac");
    step(host, "next track:");
    host.play(L"C:\\Music\\track12.wav");
    step(host, "a file without tags:");
    host.stop();
    step(host, "stopped:");

    const int pumps_before_quit = stub_sdk_run_callbacks_count();
    host.quit_plugin();
    step(host, "quit:");
    std::printf("  run_callbacks pumped %d times while running, %d after quit\n", pumps_before_quit,
                stub_sdk_run_callbacks_count() - pumps_before_quit);
    std::printf("  main window procedure restored: %s\n",
                host.current_procedure() == host.own_procedure() ? "yes" : "no");
    print_settings_file(plugins + L"\\tolvek\\config.ini");
    host.unload_plugin();
    return 0;
}
