// The hotkeys plug-in's entry point, the query number registered for its
// name, and the record of the one command the plug-in offers it.
#include "host/host_hotkey.h"

#include "host/host.h"
#include "winamp_gen.h"

namespace {

// Posted, so it must outlive the call: the hotkeys plug-in copies it when it
// takes the message.
genHotkeysAddStruct offer;

} // namespace

void host_hotkey_offer(const char *name, const char *id, WORD command)
{
    const LRESULT entry_point =
        SendMessageA(host_window(), WM_WA_IPC, reinterpret_cast<WPARAM>(GEN_HOTKEYS_ADD_MESSAGE),
                     IPC_REGISTER_WINAMP_IPCMESSAGE);
    // A host that registers no such numbers has no hotkeys plug-in to ask.
    if (entry_point <= IPC_REGISTER_WINAMP_IPCMESSAGE) {
        return;
    }
    offer = {};
    offer.name = const_cast<char *>(name);
    offer.id = const_cast<char *>(id);
    offer.uMsg = WM_COMMAND;
    offer.wParam = command;
    PostMessageA(host_window(), WM_WA_IPC, reinterpret_cast<WPARAM>(&offer), entry_point);
}
