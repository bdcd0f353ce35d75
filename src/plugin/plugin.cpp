// Plug-in entry and lifecycle: the exported descriptor, start-up and shut-down,
// and the subclass of the host's main window that turns its notifications into
// presence updates. Every entry the host or Windows calls lets no exception out.
#include "common/guarded.h"
#include "config/config_file.h"
#include "cover/cover.h"
#include "dialog/dialog.h"
#include "discord/connection.h"
#include "host/host.h"
#include "host/playback.h"
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

// Another program or the host's tag editor may have changed a file's tags.
bool is_tag_notification(UINT message, LPARAM lparam)
{
    return message == WM_WA_IPC &&
           (lparam == IPC_FILE_TAG_MAY_HAVE_UPDATED || lparam == IPC_FILE_TAG_MAY_HAVE_UPDATEDW);
}

LRESULT CALLBACK plugin_wndproc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (is_playback_notification(message, wparam, lparam)) {
        guarded([] { update_presence(); });
    } else if (is_tag_notification(message, lparam)) {
        guarded([] { presence_tags_changed(); });
    }
    return CallWindowProcA(prev_wndproc, hwnd, message, wparam, lparam);
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
    HMODULE self;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&plugin_wndproc), &self);
}

// Runs whether or not Discord is there: the connection waits for it.
int __cdecl plugin_init()
{
    guarded([] {
        host_remember(plugin.hwndParent, plugin.hDllInstance);
        host_ticks_open();
        load_settings_once();
        cover_start(plugin.hDllInstance, &republish_with_cover);
        subclass_host_window();
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
    });
}

// Leaves nothing of the plug-in that could run after it returns (the host
// may unload the DLL at once), but for a subclass that a later one wraps,
// whose procedure only forwards from then on. The host calls it after its
// window is gone, or at log-off from inside that window's procedure: then
// plugin_wndproc is below on the stack and, once this returns, only returns
// the host's answer, touching nothing that quit released.
void __cdecl plugin_quit()
{
    presence_stop();
    guarded([] { host_ticks_close(); });
    guarded([] {
        if (settings_loaded) {
            // Only a change the user made that no file holds yet; failure is
            // not fatal: the file keeps its previous content.
            cfg_save_pending(settings_file, &config);
        }
    });
    guarded([] { connection_stop(); });
    guarded([] { cover_stop(); });
    guarded([] { unsubclass_host_window(); });
}

} // namespace

extern "C" __declspec(dllexport) winampGeneralPurposePlugin *winampGetGeneralPurposePlugin()
{
    return &plugin;
}
