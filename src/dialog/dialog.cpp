// Settings dialog procedure: fills the controls from the settings record and,
// at OK, copies them back, saves the file (and says so when it could not) and
// refreshes the presence. The boxes that "Show song info" overrides are
// greyed while it is off, a button's label and address while it is not the
// user's own. Every edit, click and choice shows the card those settings
// would make in the preview, before anything is saved. A status line tells
// in words how the connection to Discord stands, what Discord refused, and
// when it tries Discord again. The caption names the version.
#include "dialog/dialog.h"

#include "common/guarded.h"
#include "common/utf8.h"
#include "dialog/preview_panel.h"
#include "discord/connection.h"
#include "host/host.h"
#include "host/playback.h"
#include "presence/presence.h"
#include "presence/preview.h"
#include "presence/title_fields.h"
#include "resource.h"
#include "version.h"

#include <commctrl.h>

#include <algorithm>
#include <span>
#include <string>

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
    {IDC_HIDE_WHILE_PAUSED, &cfg_settings::hide_while_paused},
    {IDC_SHARE_ON_DISCORD, &cfg_settings::share_on_discord},
};

// The boxes whose settings show nothing while song information is off.
constexpr int song_info_parts[] = {IDC_SHOW_TITLE, IDC_SHOW_ARTIST_NAME, IDC_SHOW_ALBUM_NAME,
                                   IDC_SHOW_ALBUM_ART};

// The choices of the drop-down lists, in the order of their settings' values.
constexpr const wchar_t *member_list_choices[] = {L"Winamp", L"the title", L"the artist"};
constexpr const wchar_t *header_choices[] = {L"Winamp", L"the artist", L"the title"};
constexpr const wchar_t *button_kinds[] = {L"Off",
                                           L"The track's page",
                                           L"The album's page",
                                           L"The artist's page",
                                           L"The station's home page",
                                           L"My own label and address"};

// A drop-down list whose choices, in order, are the setting's values 0, 1, ...
struct choice_list {
    int id;
    int32_t cfg_settings::*field;
    std::span<const wchar_t *const> choices;
};

constexpr choice_list choice_lists[] = {
    {IDC_STATUS_DISPLAY, &cfg_settings::status_display_type, member_list_choices},
    {IDC_HEADER_SHOWS, &cfg_settings::header_shows, header_choices},
    {IDC_BUTTON_1, &cfg_settings::button_1, button_kinds},
    {IDC_BUTTON_2, &cfg_settings::button_2, button_kinds},
};

struct text_edit {
    int id;
    std::string cfg_settings::*field;
};

constexpr text_edit text_edits[] = {
    {IDC_TITLE_LINE, &cfg_settings::title_line},
    {IDC_ARTIST_LINE, &cfg_settings::artist_line},
    {IDC_BUTTON_1_LABEL, &cfg_settings::button_1_label},
    {IDC_BUTTON_1_ADDRESS, &cfg_settings::button_1_address},
    {IDC_BUTTON_2_LABEL, &cfg_settings::button_2_label},
    {IDC_BUTTON_2_ADDRESS, &cfg_settings::button_2_address},
};

// The longest template an edit takes, in characters.
constexpr WPARAM template_max_characters = 512;

// A button's choice and the label and address edits (with their captions)
// that serve only the user's own kind.
struct button_group {
    int choice;
    int own_parts[4];
};

constexpr button_group button_groups[] = {
    {IDC_BUTTON_1,
     {IDC_BUTTON_1_LABEL_CAPTION, IDC_BUTTON_1_LABEL, IDC_BUTTON_1_ADDRESS_CAPTION, IDC_BUTTON_1_ADDRESS}},
    {IDC_BUTTON_2,
     {IDC_BUTTON_2_LABEL_CAPTION, IDC_BUTTON_2_LABEL, IDC_BUTTON_2_ADDRESS_CAPTION, IDC_BUTTON_2_ADDRESS}},
};

// Under the template edits: what an empty one gives, and the fields there are.
std::wstring template_hint()
{
    return L"Empty: the built-in lines, " + utf8_to_utf16(default_title_line_template) + L" and " +
           utf8_to_utf16(default_artist_line_template) +
           L". Winamp's title syntax, with %title%, %artist%, %album%, %station%, %playstate% and "
           L"Winamp's own tags.";
}

// An empty line template's edit shows the built-in template, greyed, as the
// place to start from (where the host's controls draw such a cue).
void show_built_in_templates(HWND dialog)
{
    const struct {
        int id;
        std::string_view built_in;
    } line_edits[] = {{IDC_TITLE_LINE, default_title_line_template},
                      {IDC_ARTIST_LINE, default_artist_line_template}};
    for (const auto &edit : line_edits) {
        const std::wstring cue = utf8_to_utf16(edit.built_in);
        SendDlgItemMessageW(dialog, edit.id, EM_SETCUEBANNER, FALSE, reinterpret_cast<LPARAM>(cue.c_str()));
    }
    SetDlgItemTextW(dialog, IDC_TEMPLATE_HINT, template_hint().c_str());
}

// How often the status line is brought up to date while the dialog is open.
constexpr UINT status_refresh_ms = 500;
constexpr UINT_PTR status_timer_id = 1;

// What Discord said when it refused something: "(4000) Invalid Client ID".
std::wstring refusal_text(const discord_refusal &refusal)
{
    return L"(" + std::to_wstring(refusal.code) + L") " + utf8_to_utf16(refusal.message);
}

// When the connection tries Discord again, in words: " Trying again in 5 seconds."
std::wstring next_attempt_text(const connection_state &state)
{
    const int64_t left_ms =
        state.next_attempt_ms ? *state.next_attempt_ms - static_cast<int64_t>(GetTickCount64()) : 0;
    const int64_t seconds = left_ms > 0 ? (left_ms + 999) / 1000 : 0;
    if (seconds == 0) {
        return L" Trying now.";
    }
    return L" Trying again in " + std::to_wstring(seconds) + (seconds == 1 ? L" second." : L" seconds.");
}

// What Discord said when it refused an activity: "Discord refused the
// activity: child "activity" fails because [...] (code 4000)".
std::wstring activity_refusal_text(const discord_refusal &refusal)
{
    return L"Discord refused the activity: " + utf8_to_utf16(refusal.message) + L" (code " +
           std::to_wstring(refusal.code) + L").";
}

// One line for the user: connected (as whom), or waiting for Discord or
// refused by it, and when the next attempt comes. While connected, a refusal
// of the activity that stands, or the one that made the connection send its
// activities without the header, links, buttons and member-list choice.
std::wstring status_text(const connection_state &state)
{
    if (state.phase == connection_phase::connected) {
        std::wstring text = L"Connected to Discord as " + utf8_to_utf16(state.user_name) + L".";
        if (state.update_refused) {
            text += L" " + activity_refusal_text(*state.update_refused);
        } else if (state.newer_fields_refused) {
            text += L" " + activity_refusal_text(*state.newer_fields_refused) +
                    L" It is shown without the header, links, buttons and member-list choice.";
        }
        return text;
    }
    if (state.closed) {
        return L"Discord closed the connection " + refusal_text(*state.closed) + L"." +
               next_attempt_text(state);
    }
    return L"Waiting for Discord." + next_attempt_text(state);
}

void show_status(HWND dialog)
{
    const std::wstring status = status_text(connection_state_now());
    wchar_t shown[512] = {};
    GetDlgItemTextW(dialog, IDC_CONNECTION_STATUS, shown, 512);
    if (status != shown) { // unchanged text is not redrawn
        SetDlgItemTextW(dialog, IDC_CONNECTION_STATUS, status.c_str());
    }
}

bool is_checked(HWND dialog, int id)
{
    return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void grey_song_info_parts(HWND dialog)
{
    const bool song_info = is_checked(dialog, IDC_SHOW_SONG_INFO);
    for (const int id : song_info_parts) {
        EnableWindow(GetDlgItem(dialog, id), song_info);
    }
}

LRESULT chosen(HWND dialog, int id)
{
    return SendMessageW(GetDlgItem(dialog, id), CB_GETCURSEL, 0, 0);
}

void enable_own_button_parts(HWND dialog)
{
    for (const button_group &group : button_groups) {
        const bool own = chosen(dialog, group.choice) == cfg_button_own;
        for (const int id : group.own_parts) {
            EnableWindow(GetDlgItem(dialog, id), own);
        }
    }
}

std::wstring edit_text(HWND dialog, int id)
{
    HWND edit = GetDlgItem(dialog, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The settings the controls were filled from when the dialog opened.
cfg_settings shown_settings;

// The settings in force with each choice the user changed in the dialog since
// it opened: a control left as it was shown keeps what is in force now (the
// sharing switch from the host's menu or hotkey meanwhile, a template's exact
// bytes, which the edit shows converted to UTF-16).
cfg_settings chosen_settings(HWND dialog)
{
    cfg_settings settings = config;
    for (const check_box &box : check_boxes) {
        const int32_t value = is_checked(dialog, box.id) ? 1 : 0;
        if (value != shown_settings.*box.field) {
            settings.*box.field = value;
        }
    }
    for (const choice_list &list : choice_lists) {
        const LRESULT choice = chosen(dialog, list.id);
        if (choice != CB_ERR && static_cast<int32_t>(choice) != shown_settings.*list.field) {
            settings.*list.field = static_cast<int32_t>(choice);
        }
    }
    for (const text_edit &edit : text_edits) {
        const std::wstring text = edit_text(dialog, edit.id);
        if (text != utf8_to_utf16(shown_settings.*edit.field)) {
            settings.*edit.field = utf16_to_utf8(text);
        }
    }
    return settings;
}

// Sharing switched in the host's menus or with the hotkey while the dialog is
// open: the box follows, unless the user has clicked it, whose choice OK
// keeps. Either way OK no longer counts the switch as the user's change.
void follow_sharing_switch(HWND dialog)
{
    if (config.share_on_discord == shown_settings.share_on_discord) {
        return;
    }
    const bool box_as_shown =
        is_checked(dialog, IDC_SHARE_ON_DISCORD) == (shown_settings.share_on_discord != 0);
    shown_settings.share_on_discord = config.share_on_discord;
    if (box_as_shown) {
        CheckDlgButton(dialog, IDC_SHARE_ON_DISCORD, config.share_on_discord ? BST_CHECKED : BST_UNCHECKED);
    }
}

// Set while the controls are being filled: their notifications change nothing then.
bool filling_controls;

void show_preview(HWND dialog)
{
    if (!filling_controls) {
        show_card_preview(dialog, presence_preview(chosen_settings(dialog)), host_playback_state() == 0);
    }
}

// The dialog while it is open. A second one would show the boxes as they
// were before the first one's OK, and its own OK would undo that one's choices.
HWND open_dialog;
// Where OK saves the settings, for as long as the dialog is open.
cfg_file *settings_file;
// The window Configure was pressed in (the host's preferences), or the host's main window.
HWND opened_from;

// Centres the dialog on the work area of the monitor that shows the window it
// was opened from, or the nearest one: so it is on screen even when the host's
// main window is hidden or moved off-screen (another skin, a closed main window).
void centre_on_monitor(HWND dialog)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT box;
    if (!GetMonitorInfoW(MonitorFromWindow(opened_from, MONITOR_DEFAULTTONEAREST), &monitor) ||
        !GetWindowRect(dialog, &box)) {
        return;
    }
    const RECT &area = monitor.rcWork;
    const LONG left = area.left + std::max(0L, (area.right - area.left - (box.right - box.left)) / 2);
    const LONG top = area.top + std::max(0L, (area.bottom - area.top - (box.bottom - box.top)) / 2);
    SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The template's caption followed by the plug-in's version: "Corvane Config 1.1.0".
void show_version_in_caption(HWND dialog)
{
    wchar_t caption[64] = {};
    GetWindowTextW(dialog, caption, 64);
    SetWindowTextW(dialog, (std::wstring(caption) + L" " + PLUGIN_VERSION_WIDE).c_str());
}

INT_PTR show_settings(HWND dialog)
{
    open_dialog = dialog;
    show_version_in_caption(dialog);
    centre_on_monitor(dialog);
    show_status(dialog);
    SetTimer(dialog, status_timer_id, status_refresh_ms, nullptr);
    filling_controls = true;
    shown_settings = config;
    for (const check_box &box : check_boxes) {
        SendMessageA(GetDlgItem(dialog, box.id), BM_SETCHECK, config.*box.field ? BST_CHECKED : BST_UNCHECKED,
                     0);
    }
    grey_song_info_parts(dialog);
    for (const choice_list &list : choice_lists) {
        HWND choices = GetDlgItem(dialog, list.id);
        for (const wchar_t *choice : list.choices) {
            SendMessageW(choices, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice));
        }
        SendMessageW(choices, CB_SETCURSEL, static_cast<WPARAM>(config.*list.field), 0);
    }
    for (const text_edit &edit : text_edits) {
        SendDlgItemMessageW(dialog, edit.id, EM_LIMITTEXT, template_max_characters, 0);
        SetDlgItemTextW(dialog, edit.id, utf8_to_utf16(config.*edit.field).c_str());
    }
    show_built_in_templates(dialog);
    enable_own_button_parts(dialog);
    filling_controls = false;
    show_preview(dialog);
    return TRUE;
}

INT_PTR accept_settings(HWND dialog)
{
    const cfg_settings before = config;
    config = chosen_settings(dialog);
    // A change that cannot be written yet stays in force and pending; the
    // save may also bring in what another program wrote to the file meanwhile.
    const bool saved = cfg_save_changes(*settings_file, before, &config) == 0;
    update_presence();
    if (!saved) {
        MessageBoxW(dialog,
                    L"Your change is in use, but it could not be saved to config.ini: another program may "
                    L"have the file open. When Winamp closes, the plug-in tries again and then changes only "
                    L"the lines of the settings you changed, keeping what that program saved; if the file "
                    L"is still held then, the change is lost.",
                    L"Discord Corvane", MB_OK | MB_ICONWARNING);
    }
    EndDialog(dialog, 0);
    return TRUE;
}

// An edit, click or choice: greys what it overrides and shows its card.
INT_PTR follow_choice(HWND dialog, int id, int notification)
{
    if (notification != EN_CHANGE && notification != BN_CLICKED && notification != CBN_SELCHANGE) {
        return FALSE;
    }
    if (id == IDC_SHOW_SONG_INFO) {
        grey_song_info_parts(dialog);
    }
    if (id == IDC_BUTTON_1 || id == IDC_BUTTON_2) {
        enable_own_button_parts(dialog);
    }
    show_preview(dialog);
    return TRUE;
}

INT_PTR handle_message(HWND dialog, UINT message, WPARAM wparam)
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
        return follow_choice(dialog, LOWORD(wparam), HIWORD(wparam));
    case WM_TIMER:
        if (wparam != status_timer_id) {
            return FALSE;
        }
        show_status(dialog);
        follow_sharing_switch(dialog);
        show_preview(dialog); // the entry playing and its clock move on
        return TRUE;
    case WM_DESTROY:
        KillTimer(dialog, status_timer_id);
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

void config_dialog_open(cfg_file &file)
{
    if (open_dialog != nullptr) {
        if (IsIconic(open_dialog)) {
            ShowWindow(open_dialog, SW_RESTORE);
        }
        SetForegroundWindow(open_dialog);
        return;
    }
    settings_file = &file;
    opened_from = GetActiveWindow() != nullptr ? GetActiveWindow() : host_window();
    DialogBoxParamW(plugin_dll(), MAKEINTRESOURCEW(IDD_CONFIG), host_window(), &config_dlg_proc, 0);
    open_dialog = nullptr;
}

INT_PTR CALLBACK config_dlg_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    return guarded<INT_PTR>(FALSE, [&] { return handle_message(dialog, message, wparam); });
}
