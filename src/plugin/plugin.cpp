// Plug-in entry and lifecycle: the exported descriptor, start-up and shut-down,
// the subclass of the host's main window, the presence dispatcher with the idle
// activity, and the pump that lets the SDK deliver its callbacks.
#include "plugin/plugin.h"

#include "config/config_file.h"
#include "config/dialog.h"
#include "cover/cover.h"
#include "resource.h"
#include "timer/timer.h"

#include <cstring>

namespace {

int __cdecl plugin_init();
void __cdecl plugin_config();
void __cdecl plugin_quit();

char plugin_description[] = "Discord Corvane";

constexpr UINT pump_interval_ms = 16;

WNDPROC prev_wndproc;
pump_timer timer;
// True from a successful start until shut-down: only then may anything reach the SDK.
bool running;
// The settings file has been read; only then may a save at shut-down replace it.
bool settings_loaded;

void load_settings_once()
{
    if (!settings_loaded) {
        cfg_load(&config);
        settings_loaded = true;
    }
}

void CALLBACK pump_callbacks(HWND, UINT, UINT_PTR, DWORD)
{
    app.core->run_callbacks(app.core);
}

LRESULT CALLBACK plugin_wndproc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    // A stream's title changes without a status change.
    if (message == WM_WA_IPC && lparam == IPC_CB_MISC &&
        (wparam == IPC_CB_MISC_STATUS || wparam == IPC_CB_MISC_TITLE)) {
        update_presence();
    }
    return CallWindowProcA(prev_wndproc, hwnd, message, wparam, lparam);
}

LONG_PTR window_procedure(HWND window)
{
    return IsWindowUnicode(window) ? GetWindowLongW(window, GWL_WNDPROC)
                                   : GetWindowLongA(window, GWL_WNDPROC);
}

LONG_PTR set_window_procedure(HWND window, LONG_PTR procedure)
{
    return IsWindowUnicode(window) ? SetWindowLongW(window, GWL_WNDPROC, procedure)
                                   : SetWindowLongA(window, GWL_WNDPROC, procedure);
}

void subclass_host_window()
{
    prev_wndproc = reinterpret_cast<WNDPROC>(
        set_window_procedure(plugin.hwndParent, reinterpret_cast<LONG_PTR>(&plugin_wndproc)));
}

// Gives the host window its own procedure back, unless someone subclassed it
// after us: then our procedure stays in their chain and keeps forwarding.
void unsubclass_host_window()
{
    if (window_procedure(plugin.hwndParent) == reinterpret_cast<LONG_PTR>(&plugin_wndproc)) {
        set_window_procedure(plugin.hwndParent, reinterpret_cast<LONG_PTR>(prev_wndproc));
    }
}

void update_presence_idle()
{
    DiscordActivity activity = new_activity();
    std::strcpy(activity.state, "(Idle)");
    std::strcpy(activity.assets.large_image, "winamp-logo");
    publish_activity(&activity);
}

int __cdecl plugin_init()
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

    if (DiscordCreate(DISCORD_VERSION, &params, &app.core) != DiscordResult_Ok) {
        app.core = nullptr;
        return -1;
    }
    subclass_host_window();
    app.activity_manager = app.core->get_activity_manager(app.core);
    timer = {0, pump_interval_ms, &pump_callbacks};
    timer_start(&timer);
    load_settings_once();
    cover_start(plugin.hDllInstance, &republish_with_cover);
    running = app.activity_manager != nullptr;
    update_presence();
    return 0;
}

void __cdecl plugin_config()
{
    // After a failed start the settings were never read: show the user's own.
    load_settings_once();
    DialogBoxParamW(plugin.hDllInstance, MAKEINTRESOURCEW(IDD_CONFIG), plugin.hwndParent, &config_dlg_proc,
                    0);
}

void __cdecl plugin_quit()
{
    if (settings_loaded) {
        // Failure is not fatal: the file keeps its previous content.
        cfg_save(&config);
    }
    cover_stop();
    if (app.core == nullptr) {
        return; // failed start: nothing of the SDK was set up
    }
    if (running) {
        app.activity_manager->clear_activity(app.activity_manager, &app, &on_activity_result);
        running = false;
    }
    timer_stop(&timer);
    unsubclass_host_window();
}

} // namespace

winampGeneralPurposePlugin plugin = {
    GPPHDR_VER, plugin_description, &plugin_init, &plugin_config, &plugin_quit, nullptr, nullptr,
};
plugin_state app;

extern "C" __declspec(dllexport) winampGeneralPurposePlugin *winampGetGeneralPurposePlugin()
{
    return &plugin;
}

void DISCORD_CALL on_activity_result(void *, EDiscordResult)
{
}

LRESULT host_query(WPARAM wparam, LPARAM query)
{
    return SendMessageW(plugin.hwndParent, WM_WA_IPC, wparam, query);
}

DiscordActivity new_activity()
{
    DiscordActivity activity;
    std::memset(&activity, 0, sizeof activity);
    activity.application_id = PLUGIN_CLIENT_ID;
    std::strcpy(activity.name, "Winamp");
    return activity;
}

void publish_activity(DiscordActivity *activity)
{
    app.activity_manager->update_activity(app.activity_manager, activity, &app, &on_activity_result);
}

void update_presence()
{
    if (!running) {
        return;
    }
    const LRESULT state = host_query(0, IPC_ISPLAYING);
    if (state == 1 || state == 3) {
        update_presence_track(static_cast<int>(state));
    } else if (state == 0) {
        update_presence_idle();
    }
}
