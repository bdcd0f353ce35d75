// Connection states and their timers: a retry timer while waiting for
// Discord, a pump timer while connected, and the last activity sent, so that
// repeated notifications do not spend Discord's rate limit.
#include "discord/connection.h"

#include "common/guarded.h"
#include "discord/sdk_binding.h"
#include "timer/timer.h"

#include <cstring>
#include <optional>

#ifndef PLUGIN_CLIENT_ID
#error "PLUGIN_CLIENT_ID (the Discord application id) must be defined by the build"
#endif

namespace {

enum class connection_phase { stopped, no_sdk, waiting, connected };

// The SDK objects of the current connection. Its address is the event data
// of the core and the callback data of every activity request.
struct connection_state {
    IDiscordCore *core;
    IDiscordActivityManager *activity_manager;
};

constexpr UINT pump_interval_ms = 16;
// Creation fails within milliseconds while Discord is away; trying this
// often finds it soon after it starts without costing the player anything.
constexpr UINT retry_interval_ms = 5000;

connection_state app;
sdk_library sdk;
connection_phase phase = connection_phase::stopped;
void (*connected_handler)();
std::optional<DiscordActivity> last_sent;

void CALLBACK pump_callbacks(HWND, UINT, UINT_PTR, DWORD);
void CALLBACK retry_connect(HWND, UINT, UINT_PTR, DWORD);
pump_timer pump = {0, pump_interval_ms, &pump_callbacks};
pump_timer retry = {0, retry_interval_ms, &retry_connect};

// Equal in everything the SDK sends: it never sends `type`, `name` or
// `application_id`, and the padding between members carries nothing.
bool same_activity(const DiscordActivity &a, const DiscordActivity &b)
{
    constexpr size_t first = offsetof(DiscordActivity, state);
    constexpr size_t end = offsetof(DiscordActivity, instance) + sizeof(bool);
    const auto *left = reinterpret_cast<const unsigned char *>(&a);
    const auto *right = reinterpret_cast<const unsigned char *>(&b);
    return std::memcmp(left + first, right + first, end - first) == 0 &&
           a.supported_platforms == b.supported_platforms;
}

void on_activity_result(void *, EDiscordResult result) noexcept
{
    // A refused update may be sent again, even unchanged.
    if (result != DiscordResult_Ok && result != DiscordResult_TransactionAborted) {
        last_sent.reset();
    }
}

DiscordCreateParams creation_params()
{
    DiscordCreateParams params{};
    params.client_id = PLUGIN_CLIENT_ID;
    // Default flags would let the SDK close the player to relaunch it through
    // Discord when Discord is not running; this one makes creation fail instead.
    params.flags = DiscordCreateFlags_NoRequireDiscord;
    params.event_data = &app;
    params.application_version = DISCORD_MANAGER_VERSION;
    params.user_version = DISCORD_MANAGER_VERSION;
    params.image_version = DISCORD_MANAGER_VERSION;
    params.activity_version = DISCORD_MANAGER_VERSION;
    params.relationship_version = DISCORD_MANAGER_VERSION;
    params.lobby_version = DISCORD_MANAGER_VERSION;
    params.network_version = DISCORD_MANAGER_VERSION;
    params.overlay_version = DISCORD_MANAGER_VERSION;
    params.storage_version = DISCORD_MANAGER_VERSION;
    params.store_version = DISCORD_MANAGER_VERSION;
    params.voice_version = DISCORD_MANAGER_VERSION;
    params.achievement_version = DISCORD_MANAGER_VERSION;
    return params;
}

// One attempt to create a core; on success the connection is up and the
// current state goes out at once.
bool try_connect()
{
    DiscordCreateParams params = creation_params();
    IDiscordCore *core = nullptr;
    if (sdk_create(sdk, &params, &core) != DiscordResult_Ok || core == nullptr) {
        return false;
    }
    IDiscordActivityManager *manager = sdk_activity_manager(core);
    if (manager == nullptr) {
        sdk_destroy(core);
        return false;
    }
    app = {core, manager};
    phase = connection_phase::connected;
    last_sent.reset();
    timer_stop(&retry);
    timer_start(&pump);
    connected_handler();
    return true;
}

// A core never recovers once Discord has gone: only a new one connects again.
void drop_core()
{
    timer_stop(&pump);
    IDiscordCore *core = app.core;
    app = {};
    last_sent.reset();
    phase = connection_phase::waiting;
    sdk_destroy(core);
    timer_start(&retry);
}

void CALLBACK pump_callbacks(HWND, UINT, UINT_PTR, DWORD)
{
    guarded([] {
        if (phase == connection_phase::connected && sdk_run_callbacks(app.core) != DiscordResult_Ok) {
            drop_core();
        }
    });
}

void CALLBACK retry_connect(HWND, UINT, UINT_PTR, DWORD)
{
    guarded([] {
        if (phase == connection_phase::waiting) {
            try_connect();
        }
    });
}

std::wstring version_text(const sdk_version &version)
{
    return std::to_wstring(version.major) + L'.' + std::to_wstring(version.minor) + L'.' +
           std::to_wstring(version.patch);
}

std::wstring sdk_problem_text()
{
    switch (sdk.availability) {
    case sdk_availability::not_found:
        return L"\"discord_game_sdk.dll\" not found in " + sdk.plugin_folder + L", " + sdk.host_folder +
               L" or the system folders: put the Game SDK's x86 DLL next to gen_DiscordCorvane.dll.";
    case sdk_availability::not_loadable:
        return L"\"discord_game_sdk.dll\" in " + sdk.plugin_folder + L" cannot be loaded (error " +
               std::to_wstring(sdk.load_error) +
               L"): use the Game SDK's 32-bit DLL, from its lib\\x86 folder.";
    case sdk_availability::not_an_sdk:
        return L"The \"discord_game_sdk.dll\" found is not the Discord Game SDK: replace it with the Game "
               L"SDK's x86 DLL.";
    case sdk_availability::no_version:
        return L"Unsupported \"discord_game_sdk.dll\": it reports no version. Use the x86 DLL of a Game SDK "
               L"from 2.5 to 3.2.";
    case sdk_availability::unsupported_version:
        return L"Unsupported \"discord_game_sdk.dll\" version " + version_text(sdk.version) +
               L". Use the x86 DLL of a Game SDK from 2.5 to 3.2.";
    case sdk_availability::ready:
        break;
    }
    return {};
}

} // namespace

void connection_start(HMODULE plugin_module, void (*on_connected)())
{
    connected_handler = on_connected;
    sdk = sdk_load(plugin_module);
    if (sdk.availability != sdk_availability::ready) {
        phase = connection_phase::no_sdk;
        return;
    }
    phase = connection_phase::waiting;
    if (!try_connect()) {
        timer_start(&retry);
    }
}

void connection_stop()
{
    timer_stop(&retry);
    timer_stop(&pump);
    if (phase == connection_phase::connected) {
        sdk_clear_activity(sdk, app.activity_manager, &app, sdk_callback<&on_activity_result>());
        IDiscordCore *core = app.core;
        app = {};
        sdk_destroy(core);
    }
    last_sent.reset();
    phase = connection_phase::stopped;
}

bool connection_ready()
{
    return phase == connection_phase::connected;
}

void connection_publish(const DiscordActivity &activity)
{
    if (phase != connection_phase::connected || (last_sent && same_activity(*last_sent, activity))) {
        return;
    }
    last_sent = activity;
    DiscordActivity record = activity; // the SDK takes its copy during the call
    sdk_update_activity(sdk, app.activity_manager, &record, &app, sdk_callback<&on_activity_result>());
}

std::wstring connection_status_text()
{
    switch (phase) {
    case connection_phase::connected:
        return L"Connected to Discord (Game SDK " + version_text(sdk.version) + L").";
    case connection_phase::waiting:
        return L"Waiting for Discord: the presence appears within seconds of Discord starting.";
    case connection_phase::no_sdk:
        return sdk_problem_text();
    case connection_phase::stopped:
        break;
    }
    return L"Stopped.";
}
