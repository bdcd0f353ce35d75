// The plug-in's entry in the host's menus: the command id the host hands out,
// the items put into its Options and right-click menus, their check mark and
// their removal.
#include "host/host_menu.h"

#include "host/host.h"
#include "winamp_gen.h"

#include <iterator>

namespace {

// Command ids are a menu item's 16 bits; the host's own lie below 65536 too.
bool is_command_id(LRESULT answer)
{
    return answer > 0 && answer <= 0xFFFF;
}

bool append_item(HMENU menu, WORD command, const wchar_t *text, bool checked)
{
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE | MIIM_FTYPE;
    item.fType = MFT_STRING;
    item.fState = checked ? MFS_CHECKED : MFS_UNCHECKED;
    item.wID = command;
    item.dwTypeData = const_cast<wchar_t *>(text);
    return InsertMenuItemW(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &item) != FALSE;
}

HMENU host_menu(WPARAM which)
{
    return reinterpret_cast<HMENU>(SendMessageA(host_window(), WM_WA_IPC, which, IPC_GET_HMENU));
}

} // namespace

host_menu_entry host_menu_add(const wchar_t *text, bool checked)
{
    host_menu_entry entry;
    const LRESULT command = SendMessageA(host_window(), WM_WA_IPC, 0, IPC_REGISTER_LOWORD_COMMAND);
    if (!is_command_id(command)) {
        return entry;
    }
    entry.command = static_cast<WORD>(command);
    const WPARAM which[] = {WINAMP_MENU_OPTIONS, WINAMP_MENU_MAIN_POPUP};
    for (size_t i = 0; i < std::size(which); ++i) {
        const HMENU menu = host_menu(which[i]);
        // A host that answered one menu for both gets one item.
        const bool added_already = i > 0 && menu == entry.menus[0];
        if (menu != nullptr && IsMenu(menu) && !added_already &&
            append_item(menu, entry.command, text, checked)) {
            entry.menus[i] = menu;
        }
    }
    return entry;
}

void host_menu_check(const host_menu_entry &entry, bool checked)
{
    for (const HMENU menu : entry.menus) {
        if (menu != nullptr && IsMenu(menu)) {
            CheckMenuItem(menu, entry.command, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
        }
    }
}

void host_menu_remove(host_menu_entry &entry)
{
    for (const HMENU menu : entry.menus) {
        if (menu != nullptr && IsMenu(menu)) {
            DeleteMenu(menu, entry.command, MF_BYCOMMAND);
        }
    }
    entry = {};
}
