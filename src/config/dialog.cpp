// Settings dialog procedure: fills the check boxes from the settings record
// and, at OK, copies them back, saves the file and refreshes the presence.
#include "config/dialog.h"

#include "config/config_file.h"
#include "plugin/plugin.h"
#include "resource.h"

namespace {

struct check_box {
    int id;
    int32_t cfg_settings::*field;
};

constexpr check_box check_boxes[] = {
    {IDC_SHOW_TITLE, &cfg_settings::display_title},
    {IDC_SHOW_ALBUM_ART, &cfg_settings::display_album_art},
    {IDC_SHOW_ALBUM_NAME, &cfg_settings::display_album_name},
    {IDC_SHOW_ARTIST_NAME, &cfg_settings::display_artist_name},
    {IDC_SHOW_SONG_INFO, &cfg_settings::display_song_info},
    {IDC_SHOW_ELAPSED_TIME, &cfg_settings::show_elapsed_time},
};

// The dialog while it is open. A second one would show the boxes as they
// were before the first one's OK, and its own OK would undo that one's choices.
HWND open_dialog;

INT_PTR show_settings(HWND dialog)
{
    open_dialog = dialog;
    for (const check_box &box : check_boxes) {
        SendMessageA(GetDlgItem(dialog, box.id), BM_SETCHECK, config.*box.field ? BST_CHECKED : BST_UNCHECKED,
                     0);
    }
    return TRUE;
}

INT_PTR accept_settings(HWND dialog)
{
    for (const check_box &box : check_boxes) {
        config.*box.field =
            SendMessageA(GetDlgItem(dialog, box.id), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    }
    // A failed save keeps the new values in memory; the next save writes them.
    cfg_save(&config);
    update_presence();
    EndDialog(dialog, 0);
    return TRUE;
}

} // namespace

void config_dialog_open()
{
    if (open_dialog != nullptr) {
        SetForegroundWindow(open_dialog);
        return;
    }
    DialogBoxParamW(plugin.hDllInstance, MAKEINTRESOURCEW(IDD_CONFIG), plugin.hwndParent, &config_dlg_proc,
                    0);
    open_dialog = nullptr;
}

INT_PTR CALLBACK config_dlg_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return show_settings(dialog);
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDOK:
            return accept_settings(dialog);
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
