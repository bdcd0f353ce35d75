// Plug-in entry and lifecycle: the exported descriptor, start-up and shut-down,
// the subclass of the host's main window that turns its notifications into
// presence updates, and the "Share on Discord" switch in the host's menus and
// hotkeys. Every entry the host or Windows calls lets no exception out.
#include "common/guarded.h"
#include "config/config_file.h"
#include "cover/cover.h"
#include "dialog/dialog.h"
#include "discord/connection.h"
#include "host/host.h"
#include "host/host_hotkey.h"
#include "host/host_menu.h"
#include "host/main_loop.h"
#include "presence/presence.h"
#include "version.h"
#include "winamp_gen.h"

namespace {

int __cdecl plugin_init();
void __cdecl plugin_config();
void __cdecl plugin_quit();

// What the host lists in its plug-in preferences: the name and the version.
char plugin_description[] = "Discord Corvane " PLUGIN_VERSION_STRING;

// The descriptor the host loads; it fills in the main window and the DLL before init.
winampGeneralPurposePlugin plugin = {
    GPPHDR_VER, plugin_description, &plugin_init, &plugin_config, &plugin_quit, nullptr, nullptr,
};

WNDPROC prev_wndproc;
// The settings file has been read; only then may a save at shut-down write it.
bool settings_loaded;
cfg_file settings_file;

void load_settings_once()
{
    if (!settings_loaded) {
        settings_file = cfg_locate(host_plugin_directory(), host_user_plugin_directory());
        cfg_load(settings_file, &config);
        settings_loaded = true;
    }
}

// The host tells of a start, pause or stop, and of a stream's next title,
// which changes without a status change. A seek sends no notification: the
// presence reads the position of a playing track every 2 s instead.
bool is_playback_notification(UINT message, WPARAM wparam, LPARAM lparam)
{
    return message == WM_WA_IPC && lparam == IPC_CB_MISC &&
           (wparam == IPC_CB_MISC_STATUS || wparam == IPC_CB_MISC_TITLE);
}

// The host posts its notifications several at a time (a track change posts
// the stop and play sequences, seven at once), each after its state changed:
// by the time the first is handled, the host reports what the last tells of.
// So the first of a run marks the host's queue and decides the presence; the
// notifications that were waiting ahead of the mark tell of nothing that
// decision did not read, and only one posted after it decides again.
void on_playback_notification()
{
    if (main_loop_marked()) {
        return;
    }
    main_loop_mark();
    update_presence();
}

// Another program or the host's tag editor may have changed a file's tags.
bool is_tag_notification(UINT message, LPARAM lparam)
{
    return message == WM_WA_IPC &&
           (lparam == IPC_FILE_TAG_MAY_HAVE_UPDATED || lparam == IPC_FILE_TAG_MAY_HAVE_UPDATEDW);
}

// The switch between sharing with Discord and not, in the host's menus and
// its Global Hotkeys preferences; both send the main window its command.
constexpr wchar_t share_entry_text[] = L"Share on Discord";
constexpr char share_hotkey_name[] = "Discord Corvane: share on Discord (on/off)";
constexpr char share_hotkey_id[] = "DiscordCorvane_ShareOnDiscord";
host_menu_entry share_entry;

bool is_share_command(UINT message, WPARAM wparam, LPARAM lparam)
{
    return message == WM_COMMAND && share_entry.command != 0 && LOWORD(wparam) == share_entry.command &&
           lparam == 0;
}

// Off clears the activity at once and asks nothing more of anyone; on
// publishes the current card at once. The choice is kept in the settings file.
void switch_sharing()
{
    const cfg_settings before = config;
    config.share_on_discord = config.share_on_discord ? 0 : 1;
    // A change that cannot be written yet stays in force and pending; the
    // save may also bring in what another program wrote to the file meanwhile.
    cfg_save_changes(settings_file, before, &config);
    host_menu_check(share_entry, config.share_on_discord != 0);
    update_presence();
}

// How many calls of plugin_wndproc are running: quit called from inside one
// (the host's procedure at log-off) returns into it.
int wndproc_depth;

// Keeps the DLL mapped until the process ends, whatever the host unloads.
void pin_dll()
{
    HMODULE self;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&pin_dll), &self);
}

LRESULT CALLBACK plugin_wndproc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (is_share_command(message, wparam, lparam)) {
        guarded(&switch_sharing);
        return 0;
    }
    if (is_playback_notification(message, wparam, lparam)) {
        guarded(&on_playback_notification);
    } else if (is_tag_notification(message, lparam)) {
        guarded([] { presence_tags_changed(); });
    }
    ++wndproc_depth;
    const LRESULT answer = CallWindowProcA(prev_wndproc, hwnd, message, wparam, lparam);
    --wndproc_depth;
    return answer;
}

LONG_PTR window_procedure(HWND window)
{
    return IsWindowUnicode(window) ? GetWindowLongPtrW(window, GWLP_WNDPROC)
                                   : GetWindowLongPtrA(window, GWLP_WNDPROC);
}

LONG_PTR set_window_procedure(HWND window, LONG_PTR procedure)
{
    return IsWindowUnicode(window) ? SetWindowLongPtrW(window, GWLP_WNDPROC, procedure)
                                   : SetWindowLongPtrA(window, GWLP_WNDPROC, procedure);
}

void subclass_host_window()
{
    prev_wndproc = reinterpret_cast<WNDPROC>(
        set_window_procedure(plugin.hwndParent, reinterpret_cast<LONG_PTR>(&plugin_wndproc)));
}

// Gives the host window its own procedure back, unless someone subclassed it
// after us: then our procedure stays in their chain and keeps forwarding, so
// the DLL is pinned to stay mapped even when the host unloads it. At a normal
// exit the host has destroyed its window before quit: nothing is left to restore.
void unsubclass_host_window()
{
    if (!IsWindow(plugin.hwndParent)) {
        return;
    }
    if (window_procedure(plugin.hwndParent) == reinterpret_cast<LONG_PTR>(&plugin_wndproc)) {
        set_window_procedure(plugin.hwndParent, reinterpret_cast<LONG_PTR>(prev_wndproc));
        return;
    }
    pin_dll();
}

void add_share_switch()
{
    share_entry = host_menu_add(share_entry_text, config.share_on_discord != 0);
    if (share_entry.command != 0) {
        host_hotkey_offer(share_hotkey_name, share_hotkey_id, share_entry.command);
    }
}

// Runs whether or not Discord is there: the connection waits for it.
int __cdecl plugin_init()
{
    guarded([] {
        host_remember(plugin.hwndParent, plugin.hDllInstance);
        main_loop_open();
        load_settings_once();
        cover_start(plugin.hDllInstance, &republish_with_cover);
        subclass_host_window();
        add_share_switch();
        connection_start();
        presence_start();
        update_presence();
    });
    return 0;
}

void __cdecl plugin_config()
{
    guarded([] {
        load_settings_once();
        config_dialog_open(settings_file);
        // The dialog's OK may have switched sharing.
        host_menu_check(share_entry, config.share_on_discord != 0);
    });
}

// Leaves nothing of the plug-in that could run after it returns (the host
// may unload the DLL at once), but for a subclass that a later one wraps,
// whose procedure only forwards from then on. The host calls it after its
// window is gone, or at log-off from inside that window's procedure: then
// plugin_wndproc is below on the stack and, once this returns, only returns
// the host's answer, touching nothing that quit released; its code must stay
// mapped for that, even in a host that frees the DLL as soon as quit returns.
void __cdecl plugin_quit()
{
    if (wndproc_depth > 0) {
        guarded(&pin_dll);
    }
    presence_stop();
    guarded([] { main_loop_close(); });
    guarded([] {
        if (settings_loaded) {
            // Only a change the user made that no file holds yet; failure is
            // not fatal: the file keeps its previous content.
            cfg_save_pending(settings_file, &config);
        }
        // A DLL that stays mapped (a lookup still ending, a pin) and is started
        // again reads its settings afresh.
        settings_loaded = false;
        settings_file = {};
        config = {};
    });
    guarded([] { connection_stop(); });
    guarded([] { cover_stop(); });
    guarded([] { host_menu_remove(share_entry); });
    guarded([] { unsubclass_host_window(); });
}

} // namespace

extern "C" __declspec(dllexport) winampGeneralPurposePlugin *winampGetGeneralPurposePlugin()
{
    return &plugin;
}
