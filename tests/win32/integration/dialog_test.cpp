// The settings dialog through the shipped plug-in under a real window
// manager: the template in the DLL, what the boxes, choices and template
// edits show, the greying of what song information and the button kinds
// override, the preview of the card as the user edits, the keyboard (tab
// order, accelerators), the window's size, and what OK, Enter, Cancel,
// Escape and the close box do to the settings, the file and Discord.
#include "files.h"
#include "rig.h"

#include <functional>
#include <map>
#include <optional>

namespace {

constexpr int IDC_SHOW_TITLE = 1000, IDC_SHOW_ELAPSED_TIME = 1001, IDC_SHOW_ALBUM_ART = 1002,
              IDC_SHOW_ALBUM_NAME = 1003, IDC_SHOW_ARTIST_NAME = 1004, IDC_SHOW_SONG_INFO = 1005,
              IDC_CONNECTION_STATUS = 1006, IDC_STATUS_DISPLAY_LABEL = 1007, IDC_STATUS_DISPLAY = 1008,
              IDC_HIDE_WHILE_PAUSED = 1009, IDC_SHARE_ON_DISCORD = 1010;
constexpr int IDC_TITLE_LINE_CAPTION = 1011, IDC_TITLE_LINE = 1012, IDC_ARTIST_LINE_CAPTION = 1013,
              IDC_ARTIST_LINE = 1014, IDC_TEMPLATE_HINT = 1015, IDC_HEADER_SHOWS_CAPTION = 1016,
              IDC_HEADER_SHOWS = 1017, IDC_BUTTON_1_CAPTION = 1018, IDC_BUTTON_1 = 1019,
              IDC_BUTTON_1_LABEL_CAPTION = 1020, IDC_BUTTON_1_LABEL = 1021,
              IDC_BUTTON_1_ADDRESS_CAPTION = 1022, IDC_BUTTON_1_ADDRESS = 1023, IDC_BUTTON_2_CAPTION = 1024,
              IDC_BUTTON_2 = 1025, IDC_BUTTON_2_LABEL_CAPTION = 1026, IDC_BUTTON_2_LABEL = 1027,
              IDC_BUTTON_2_ADDRESS_CAPTION = 1028, IDC_BUTTON_2_ADDRESS = 1029, IDC_OWN_BUTTONS_NOTE = 1030;
constexpr int IDC_PREVIEW_FRAME = 1040, IDC_PREVIEW_SOURCE = 1041, IDC_PREVIEW_HEADER = 1042,
              IDC_PREVIEW_IMAGE = 1043, IDC_PREVIEW_DETAILS = 1044, IDC_PREVIEW_STATE = 1045,
              IDC_PREVIEW_TIME = 1046, IDC_PREVIEW_HOVER = 1047, IDC_PREVIEW_BUTTON_1 = 1048,
              IDC_PREVIEW_BUTTON_2 = 1049, IDC_PREVIEW_MEMBER_LIST = 1050;

// The value of cfg_button_own: the user's own label and address.
constexpr int own_button = 5;

// What the test does once the dialog is up, from a timer inside its modal loop.
std::function<void(HWND)> dialog_script;
bool dialog_seen;

void CALLBACK drive_dialog(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = FindWindowW(L"#32770", settings_dialog_caption);
    if (dialog == nullptr) {
        return;
    }
    KillTimer(nullptr, timer);
    dialog_seen = true;
    dialog_script(dialog);
}

bool checked(HWND dialog, int id)
{
    return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void press_key(HWND dialog, int focus_id, WPARAM key)
{
    SetFocus(GetDlgItem(dialog, focus_id));
    PostMessageW(GetFocus(), WM_KEYDOWN, key, 0);
    PostMessageW(GetFocus(), WM_KEYUP, key, 0);
}

class dialog_rig : public plugin_rig {
  protected:
    void SetUp() override
    {
        plugin_rig::SetUp();
        root = settings_root();
        if (root.empty()) {
            GTEST_SKIP() << "no small disk: run under tests/private-net-run";
        }
        folder = root + L"\\Plugins\\tolvek";
        file = folder + L"\\config.ini";
        SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
        remove_user_settings();
        write_file(file, "[Display configuration]\r\nDisplay album art=0\r\n");
        load();
        host->ini_directory_w = root;
        start_with_blue_playing();
    }

    void TearDown() override
    {
        plugin_rig::TearDown();
        if (!root.empty()) {
            remove_tree(root);
        }
        remove_user_settings();
    }

    // The settings directory of the test's Winamp 5.9.
    virtual std::wstring settings_root() { return fresh_test_folder(); }

    // Quits, puts `content` into the settings file and starts the plug-in
    // again; with `held`, another program holds the file without sharing
    // while the plug-in starts.
    void restart_with(const std::string &content, bool held = false)
    {
        quit();
        host.reset();
        new_discord();
        write_file(file, content);
        HANDLE holder = held ? CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                             : INVALID_HANDLE_VALUE;
        load();
        host->ini_directory_w = root;
        start_with_blue_playing();
        if (holder != INVALID_HANDLE_VALUE) {
            CloseHandle(holder);
        }
    }

    // Opens the dialog as the host does and runs `script` in it; returns when it closed.
    void run_dialog(std::function<void(HWND)> script)
    {
        dialog_script = std::move(script);
        dialog_seen = false;
        SetTimer(nullptr, 0, 20, &drive_dialog);
        host->config_plugin();
        EXPECT_TRUE(dialog_seen);
    }

    std::wstring root, folder, file;
};

TEST_F(dialog_rig, shows_the_loaded_settings)
{
    std::vector<bool> boxes;
    run_dialog([&](HWND dialog) {
        for (int id : {IDC_SHOW_TITLE, IDC_SHOW_ELAPSED_TIME, IDC_SHOW_ALBUM_ART, IDC_SHOW_ALBUM_NAME,
                       IDC_SHOW_ARTIST_NAME, IDC_SHOW_SONG_INFO}) {
            boxes.push_back(checked(dialog, id));
        }
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), host->window());
        EXPECT_FALSE(IsWindowEnabled(host->window())) << "the host waits while the dialog is open";
        EndDialog(dialog, 0);
    });
    EXPECT_EQ(boxes, (std::vector<bool>{true, true, false, true, true, true}));
}

LRESULT member_list_choice(HWND dialog)
{
    return SendMessageW(GetDlgItem(dialog, IDC_STATUS_DISPLAY), CB_GETCURSEL, 0, 0);
}

// The box shows the switch of the host's menu entry, and OK switches both.
TEST_F(dialog_rig, the_share_box_shows_the_switch_and_ok_switches_sharing_and_the_menu_entry)
{
    const auto menu_checked = [&] {
        const std::optional<UINT> state = host->menu_item_state(WINAMP_MENU_OPTIONS, L"Share on Discord");
        return state && (*state & MF_CHECKED) != 0;
    };
    ASSERT_TRUE(host->click_menu_item(WINAMP_MENU_OPTIONS, L"Share on Discord"));
    EXPECT_TRUE(pump_until([&] { return discord->updates().back().clear; })) << "the activity is cleared";

    run_dialog([](HWND dialog) {
        EXPECT_FALSE(checked(dialog, IDC_SHARE_ON_DISCORD));
        SendMessageW(GetDlgItem(dialog, IDC_SHARE_ON_DISCORD), BM_CLICK, 0, 0);
        SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_TRUE(menu_checked());
    EXPECT_TRUE(pump_until([&] { return !discord->updates().back().clear; }));
    EXPECT_EQ(last_activity().state, "Blue (Playing)");
    EXPECT_NE(read_file(file).find("\r\nShare on Discord=1\r\n"), std::string::npos);

    run_dialog([](HWND dialog) {
        EXPECT_TRUE(checked(dialog, IDC_SHARE_ON_DISCORD));
        SendMessageW(GetDlgItem(dialog, IDC_SHARE_ON_DISCORD), BM_CLICK, 0, 0);
        SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_FALSE(menu_checked());
    EXPECT_TRUE(pump_until([&] { return discord->updates().back().clear; }));
    EXPECT_NE(read_file(file).find("\r\nShare on Discord=0\r\n"), std::string::npos);
}

// OK saves what the user changed in the dialog, not what its controls showed
// when it opened: a switch from the menu or hotkey meanwhile stays, and the
// box follows it; a template the edit shows converted keeps its bytes.
TEST_F(dialog_rig, ok_keeps_a_switch_made_meanwhile_and_the_bytes_of_a_template_left_alone)
{
    const std::string own_line = "Title line=\xE9"
                                 "coute %title%\r\n";
    restart_with("[Display configuration]\r\n" + own_line);
    run_dialog([&](HWND dialog) {
        EXPECT_TRUE(checked(dialog, IDC_SHARE_ON_DISCORD));
        ASSERT_TRUE(host->click_menu_item(WINAMP_MENU_OPTIONS, L"Share on Discord"));
        EXPECT_TRUE(pump_until([&] { return !checked(dialog, IDC_SHARE_ON_DISCORD); }, 5000))
            << "the box follows the switch";
        SendMessageW(GetDlgItem(dialog, IDC_HIDE_WHILE_PAUSED), BM_CLICK, 0, 0);
        SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    const std::string saved = read_file(file);
    EXPECT_NE(saved.find("\r\nShare on Discord=0\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\r\nHide while paused=1\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find(own_line), std::string::npos) << saved;
    EXPECT_TRUE(pump_until([&] { return discord->updates().back().clear; })) << "sharing stays off";
}

TEST_F(dialog_rig, the_member_list_choice_and_hide_while_paused_are_shown_and_saved)
{
    restart_with("[Display configuration]\r\nMember list shows=2\r\nHide while paused=1\r\n");

    std::vector<std::wstring> choices;
    run_dialog([&](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_STATUS_DISPLAY);
        for (int i = 0; i < SendMessageW(list, CB_GETCOUNT, 0, 0); ++i) {
            wchar_t text[32] = {};
            SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            choices.push_back(text);
        }
        EXPECT_EQ(member_list_choice(dialog), 2);
        EXPECT_TRUE(checked(dialog, IDC_HIDE_WHILE_PAUSED));
        SendMessageW(list, CB_SETCURSEL, 1, 0);
        SendMessageW(GetDlgItem(dialog, IDC_HIDE_WHILE_PAUSED), BM_CLICK, 0, 0);
        SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(choices, (std::vector<std::wstring>{L"Winamp", L"the title", L"the artist"}));
    EXPECT_EQ(read_file(file), "[Display configuration]\r\nMember list shows=1\r\nHide while paused=0\r\n")
        << "only the changed lines change";

    run_dialog([](HWND dialog) {
        EXPECT_EQ(member_list_choice(dialog), 1);
        EXPECT_FALSE(checked(dialog, IDC_HIDE_WHILE_PAUSED));
        SendMessageW(GetDlgItem(dialog, IDC_STATUS_DISPLAY), CB_SETCURSEL, 0, 0);
        SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    });
    EXPECT_NE(read_file(file).find("Member list shows=1\r\n"), std::string::npos) << "Cancel keeps the file";
}

TEST_F(dialog_rig, the_boxes_that_song_information_overrides_are_greyed_while_it_is_off)
{
    const int overridden[] = {IDC_SHOW_TITLE, IDC_SHOW_ARTIST_NAME, IDC_SHOW_ALBUM_NAME, IDC_SHOW_ALBUM_ART};
    const int independent[] = {IDC_SHOW_SONG_INFO, IDC_SHOW_ELAPSED_TIME, IDC_STATUS_DISPLAY,
                               IDC_HIDE_WHILE_PAUSED};
    const auto expect_enabled = [&](HWND dialog, bool song_info) {
        for (int id : overridden) {
            EXPECT_EQ(IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE, song_info) << "control " << id;
        }
        for (int id : independent) {
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, id))) << "control " << id;
        }
    };
    run_dialog([&](HWND dialog) {
        expect_enabled(dialog, true);
        SendMessageW(GetDlgItem(dialog, IDC_SHOW_SONG_INFO), BM_CLICK, 0, 0);
        expect_enabled(dialog, false);
        SendMessageW(GetDlgItem(dialog, IDC_SHOW_SONG_INFO), BM_CLICK, 0, 0);
        expect_enabled(dialog, true);
        SendMessageW(GetDlgItem(dialog, IDC_SHOW_SONG_INFO), BM_CLICK, 0, 0);
        SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_NE(read_file(file).find("Display song information=0\r\n"), std::string::npos);
    run_dialog([&](HWND dialog) {
        expect_enabled(dialog, false);
        EXPECT_TRUE(checked(dialog, IDC_SHOW_TITLE)) << "greyed boxes keep their ticks";
        EndDialog(dialog, 0);
    });
}

TEST_F(dialog_rig, ok_and_enter_save_the_boxes_and_republish_at_once)
{
    for (const bool use_enter : {false, true}) {
        SCOPED_TRACE(use_enter ? "Enter" : "OK");
        const int before = published();
        run_dialog([&](HWND dialog) {
            SendMessageW(GetDlgItem(dialog, IDC_SHOW_ELAPSED_TIME), BM_CLICK, 0, 0);
            if (use_enter) {
                press_key(dialog, IDC_SHOW_TITLE, VK_RETURN);
            } else {
                SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
            }
        });
        const discord_activity activity = next_activity(before);
        const std::string content = read_file(file);
        const bool elapsed_on = use_enter; // the second run ticks the box again
        EXPECT_NE(content.find(elapsed_on ? "Show elapsed time=1\r\n" : "Show elapsed time=0\r\n"),
                  std::string::npos);
        EXPECT_NE(content.find("Display album art=0\r\n"), std::string::npos);
        EXPECT_EQ(activity.start != 0, elapsed_on);
    }
}

TEST_F(dialog_rig, cancel_escape_and_the_close_box_change_nothing)
{
    const std::string before = read_file(file);
    const std::function<void(HWND)> closers[] = {
        [](HWND dialog) { SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0); },
        [](HWND dialog) { press_key(dialog, IDC_SHOW_TITLE, VK_ESCAPE); },
        [](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    for (const auto &close : closers) {
        const int published_before = published();
        run_dialog([&](HWND dialog) {
            SendMessageW(GetDlgItem(dialog, IDC_SHOW_TITLE), BM_CLICK, 0, 0);
            close(dialog);
        });
        settle();
        EXPECT_EQ(published(), published_before);
        EXPECT_EQ(read_file(file), before);
    }
    quit();
    EXPECT_EQ(read_file(file), before) << "nothing to write at quit either";
}

// Closes, from a timer, any settings dialog other than `first_dialog`, so that
// a nested one cannot hang the test; records that there was one.
HWND first_dialog;
bool second_dialog_seen;

BOOL CALLBACK close_second_dialog(HWND window, LPARAM)
{
    wchar_t title[32] = {};
    GetWindowTextW(window, title, 32);
    if (window != first_dialog && wcscmp(title, settings_dialog_caption) == 0) {
        second_dialog_seen = true;
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    }
    return TRUE;
}

void CALLBACK watch_for_second_dialog(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), &close_second_dialog, 0);
}

TEST_F(dialog_rig, a_second_config_call_brings_the_open_dialog_to_the_front_instead_of_nesting_one)
{
    const int published_before = published();
    run_dialog([&](HWND dialog) {
        first_dialog = dialog;
        second_dialog_seen = false;
        SendMessageW(GetDlgItem(dialog, IDC_SHOW_TITLE), BM_CLICK, 0, 0);
        HWND other = CreateWindowW(L"STATIC", L"another window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                   100, nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(other);
        EXPECT_EQ(GetForegroundWindow(), other);

        const UINT_PTR watch = SetTimer(nullptr, 0, 20, &watch_for_second_dialog);
        host->config_plugin();
        KillTimer(nullptr, watch);
        EXPECT_FALSE(second_dialog_seen) << "a second dialog was opened";
        EXPECT_EQ(GetForegroundWindow(), dialog);
        EXPECT_FALSE(IsWindowEnabled(host->window()));
        DestroyWindow(other);
        SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(next_activity(published_before).state, "(Playing)");
    EXPECT_NE(read_file(file).find("Display title=0\r\n"), std::string::npos) << "the first dialog's choice";

    // Closed, the dialog opens again.
    run_dialog([](HWND dialog) { SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0); });
}

struct placement_case {
    const char *what;
    int x, y;
    bool shown;
};

class dialog_placements : public dialog_rig, public testing::WithParamInterface<placement_case> {};

// The host's main window may be hidden or off-screen (another skin, the main
// window closed) while its preferences stay open.
TEST_P(dialog_placements, centre_the_dialog_on_the_monitor_of_the_window_it_was_opened_from)
{
    SetWindowPos(host->window(), nullptr, GetParam().x, GetParam().y, 300, 100,
                 SWP_NOZORDER | SWP_NOACTIVATE | (GetParam().shown ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    RECT box{}, area{};
    run_dialog([&](HWND dialog) {
        GetWindowRect(dialog, &box);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(host->window(), MONITOR_DEFAULTTONEAREST), &monitor);
        area = monitor.rcWork;
        SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    });
    EXPECT_GE(box.left, area.left);
    EXPECT_GE(box.top, area.top);
    EXPECT_LE(box.right, area.right);
    EXPECT_LE(box.bottom, area.bottom);
    EXPECT_NEAR((box.left + box.right) / 2.0, (area.left + area.right) / 2.0, 1.0);
    EXPECT_NEAR((box.top + box.bottom) / 2.0, (area.top + area.bottom) / 2.0, 1.0);
}

INSTANTIATE_TEST_SUITE_P(main_window, dialog_placements,
                         testing::Values(placement_case{"hidden_and_off_screen", -5000, -5000, false},
                                         placement_case{"shown_in_a_corner", 700, 600, true}),
                         [](const auto &info) { return std::string(info.param.what); });

// The host's settings directory on a 256 KiB file system that the test fills up.
class full_disk_rig : public dialog_rig {
  protected:
    std::wstring settings_root() override
    {
        const std::wstring disk = test_network_folder(L"CORVANE_SMALL_DISK");
        if (disk.empty()) {
            return {};
        }
        const std::wstring winamp = disk + L"\\Winamp";
        CreateDirectoryW(winamp.c_str(), nullptr);
        return winamp;
    }

    // Writes a file until the disk refuses more.
    void fill_disk(const std::wstring &filler)
    {
        HANDLE file = CreateFileW(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        const std::string chunk(4096, 'x');
        for (DWORD size : {4096u, 1u}) {
            DWORD written = size;
            while (WriteFile(file, chunk.data(), size, &written, nullptr) && written == size) {
            }
        }
        CloseHandle(file);
    }
};

TEST_F(full_disk_rig, a_save_on_a_full_disk_keeps_the_old_file_and_the_choices_and_the_next_save_writes_them)
{
    const std::string before = read_file(file);
    const std::wstring filler = root + L"\\filler";
    fill_disk(filler);
    run_dialog([](HWND dialog) {
        SendMessageW(GetDlgItem(dialog, IDC_SHOW_ELAPSED_TIME), BM_CLICK, 0, 0);
        SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(read_file(file), before);
    EXPECT_FALSE(exists(folder + L"\\config.ini.new"));
    EXPECT_EQ(next_activity(1).start, 0) << "the new values are in use all the same";
    const std::string kept = fallback_settings();
    EXPECT_NE(kept.find("Show elapsed time=0\r\n"), std::string::npos) << "kept in the fallback folder";

    DeleteFileW(filler.c_str());
    quit();
    EXPECT_EQ(read_file(file), before) << "quit has no change to write";
    EXPECT_EQ(fallback_settings(), kept);

    // The next change goes to the host's folder again, with the choices of the fallback copy.
    host.reset();
    new_discord();
    load();
    host->ini_directory_w = root;
    start_with_blue_playing();
    run_dialog([](HWND dialog) {
        SendMessageW(GetDlgItem(dialog, IDC_SHOW_TITLE), BM_CLICK, 0, 0);
        SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    const std::string after = read_file(file);
    EXPECT_NE(after.find("Show elapsed time=0\r\n"), std::string::npos);
    EXPECT_NE(after.find("Display title=0\r\n"), std::string::npos);
    EXPECT_TRUE(fallback_settings_files().empty()) << "the host's folder holds the newest choices again";
}

// The host's file holds the settings when the disk fills up; a change goes
// to the fallback copy, and changing it back must reach the copy too, which
// shadows the host's file from then on.
TEST_F(full_disk_rig, a_choice_changed_back_while_the_disk_is_full_replaces_the_fallback_copy)
{
    const auto click_ok_after = [&](int box) {
        run_dialog([box](HWND dialog) {
            if (box != 0) {
                SendMessageW(GetDlgItem(dialog, box), BM_CLICK, 0, 0);
            }
            SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        });
    };
    click_ok_after(0); // no change: nothing is written
    const std::string written = read_file(file);
    fill_disk(root + L"\\filler");
    click_ok_after(IDC_SHOW_ELAPSED_TIME);
    ASSERT_NE(fallback_settings().find("Show elapsed time=0\r\n"), std::string::npos);
    click_ok_after(IDC_SHOW_ELAPSED_TIME);
    EXPECT_EQ(fallback_settings(), written + "Show elapsed time=1\r\n")
        << "the choice changed back is kept where it is read first";
    EXPECT_EQ(read_file(file), written);
}

// config.ini was held open without sharing while the plug-in started, so
// it runs on the defaults: OK writes the file only once the user changed a box.
TEST_F(dialog_rig, after_a_failed_read_only_a_changed_setting_is_written)
{
    const std::string users_file =
        "[Display configuration]\r\nDisplay album art=0\r\nShow elapsed time=0\r\n";
    restart_with(users_file, true);

    run_dialog([](HWND dialog) {
        EXPECT_TRUE(checked(dialog, IDC_SHOW_ALBUM_ART)) << "the defaults";
        SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(read_file(file), users_file) << "OK without a change";
    run_dialog([](HWND dialog) {
        SendMessageW(GetDlgItem(dialog, IDC_SHOW_TITLE), BM_CLICK, 0, 0);
        SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(read_file(file), users_file + "Display title=0\r\n")
        << "the user's new choice is added to what the file says";
    run_dialog([](HWND dialog) {
        EXPECT_FALSE(checked(dialog, IDC_SHOW_ALBUM_ART)) << "the file's choices are in force now";
        EXPECT_FALSE(checked(dialog, IDC_SHOW_TITLE));
        EndDialog(dialog, 0);
    });
}

std::wstring status_text(HWND dialog)
{
    wchar_t text[512] = {};
    GetDlgItemTextW(dialog, IDC_CONNECTION_STATUS, text, 512);
    return text;
}

// The seconds a status line counts down to the next attempt, when it is
// `opening` followed by " Trying again in N seconds." (or "1 second."); else -1.
int seconds_to_next_attempt(const std::wstring &text, const std::wstring &opening)
{
    const std::wstring prefix = opening + L" Trying again in ";
    if (text.compare(0, prefix.size(), prefix) != 0) {
        return -1;
    }
    const std::wstring rest = text.substr(prefix.size());
    size_t digits = 0;
    while (digits < rest.size() && iswdigit(rest[digits])) {
        ++digits;
    }
    if (digits == 0) {
        return -1;
    }
    const int seconds = std::stoi(rest.substr(0, digits));
    const std::wstring unit = seconds == 1 ? L" second." : L" seconds.";
    return rest.substr(digits) == unit ? seconds : -1;
}

// While it waits, the status line says when the connection tries Discord
// again, and counts down to it.
TEST_F(dialog_rig, the_status_line_follows_the_connection_and_names_the_next_attempt)
{
    const std::wstring connected = L"Connected to Discord as Corvane Tester.";
    const std::wstring waiting = L"Waiting for Discord.";
    const std::wstring closed = L"Discord closed the connection (4000) Invalid Client ID.";
    // Runs the dialog's modal loop until the status line is one `wanted` takes
    // (10 s at most); returns the text.
    const auto await_status = [&](HWND dialog, const std::function<bool(const std::wstring &)> &wanted) {
        for (int waited = 0; waited < 10000 && !wanted(status_text(dialog)); waited += 100) {
            host->pump(100);
        }
        return status_text(dialog);
    };
    const auto is_connected = [&](const std::wstring &text) { return text == connected; };
    run_dialog([&](HWND dialog) {
        EXPECT_EQ(status_text(dialog), connected);

        // Discord quits: the next attempt comes within the usual 5 s, and the line counts down.
        discord->go_away();
        const std::wstring first =
            await_status(dialog, [&](const std::wstring &text) { return text != connected; });
        const int seconds = seconds_to_next_attempt(first, waiting);
        EXPECT_GE(seconds, 1) << "shown: " << testing::PrintToString(first);
        EXPECT_LE(seconds, 5);
        const std::wstring later =
            await_status(dialog, [&](const std::wstring &text) { return text != first; });
        const int seconds_later = seconds_to_next_attempt(later, waiting);
        EXPECT_TRUE(seconds_later == seconds - 1 || later == waiting + L" Trying now." || seconds_later == 5)
            << "shown: " << testing::PrintToString(later);
        discord->come_back();
        EXPECT_EQ(await_status(dialog, is_connected), connected);

        // Discord refuses: the line says what, and when the next attempt comes.
        discord->send_close(4000, "Invalid Client ID");
        const std::wstring refused = await_status(
            dialog, [&](const std::wstring &text) { return seconds_to_next_attempt(text, closed) > 0; });
        EXPECT_LE(seconds_to_next_attempt(refused, closed), 5)
            << "shown: " << testing::PrintToString(refused);
        EXPECT_EQ(await_status(dialog, is_connected), connected);
        EndDialog(dialog, 0);
    });
}

// Discord refuses the activity twice: the line shows its message while the
// refusal stands, and once a card goes through, that Discord gets the
// activities without the fields it refused.
TEST_F(dialog_rig, the_status_line_shows_what_discord_refused_of_the_activity)
{
    const std::string message = "child \"activity\" fails because [\"details_url\" is not allowed]";
    const std::wstring connected = L"Connected to Discord as Corvane Tester.";
    const std::wstring refused = connected + L" Discord refused the activity: " +
                                 std::wstring(message.begin(), message.end()) + L" (code 4000).";
    const std::wstring without_them =
        refused + L" It is shown without the header, links, buttons and member-list choice.";
    const auto await_status = [&](HWND dialog, const std::wstring &wanted) {
        for (int waited = 0; waited < 10000 && status_text(dialog) != wanted; waited += 100) {
            host->pump(100);
        }
        return status_text(dialog);
    };
    run_dialog([&](HWND dialog) {
        EXPECT_EQ(status_text(dialog), connected);
        discord->refuse_next_updates(2, 4000, message);
        const int before = published();
        host->pause();
        EXPECT_TRUE(pump_until([&] { return published() == before + 2; }, 10000))
            << "refused, and refused once more without the newer fields";
        EXPECT_EQ(await_status(dialog, refused), refused);
        host->resume();
        EXPECT_EQ(await_status(dialog, without_them), without_them);
        EndDialog(dialog, 0);
    });
}

// What the message box the dialog shows over itself says; it is closed with OK.
std::wstring message_box_text;
bool message_box_seen;

void CALLBACK close_message_box(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND box = FindWindowW(L"#32770", L"Discord Corvane");
    if (box == nullptr) {
        return;
    }
    KillTimer(nullptr, timer);
    message_box_seen = true;
    wchar_t text[512] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 512);
    message_box_text = text;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

// An editor holds config.ini open (reading and writing, sharing everything):
// OK cannot replace the file and says so, makes no fallback copy (which
// would shadow what the editor saves), and the choice is in force all the
// same and reaches the file once the editor has let go.
TEST_F(dialog_rig, ok_while_an_editor_holds_the_file_says_it_could_not_save_and_makes_no_fallback_copy)
{
    const std::string before = read_file(file);
    HANDLE editor = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(editor, INVALID_HANDLE_VALUE);
    const int published_before = published();
    message_box_seen = false;
    run_dialog([&](HWND dialog) {
        SendMessageW(GetDlgItem(dialog, IDC_SHOW_ELAPSED_TIME), BM_CLICK, 0, 0);
        SetTimer(nullptr, 0, 20, &close_message_box);
        SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_TRUE(message_box_seen);
    EXPECT_NE(message_box_text.find(L"could not be saved"), std::wstring::npos)
        << testing::PrintToString(message_box_text);
    EXPECT_EQ(next_activity(published_before).start, 0) << "the new values are in use all the same";
    EXPECT_EQ(read_file(file), before);
    EXPECT_EQ(fallback_settings(), "<none>");
    EXPECT_FALSE(exists(folder + L"\\config.ini.new"));

    CloseHandle(editor);
    quit();
    EXPECT_NE(read_file(file).find("Show elapsed time=0\r\n"), std::string::npos);
    EXPECT_EQ(fallback_settings(), "<none>");
}

std::wstring control_text(HWND dialog, int id)
{
    wchar_t text[1024] = {};
    GetDlgItemTextW(dialog, id, text, 1024);
    return text;
}

// Types `text` into an edit as the keyboard does, replacing what it held.
void type_into(HWND dialog, int id, const std::wstring &text)
{
    HWND edit = GetDlgItem(dialog, id);
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CHAR, VK_BACK, 0);
    for (const wchar_t c : text) {
        SendMessageW(edit, WM_CHAR, c, 0);
    }
}

// Picks the `index`th choice of a drop-down list as a click on it does.
void choose(HWND dialog, int id, int index)
{
    HWND list = GetDlgItem(dialog, id);
    SetFocus(list);
    SendMessageW(list, CB_SETCURSEL, index, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

// Runs the dialog's messages for a while the way its modal loop does, keys
// through the dialog manager.
void pump_dialog(HWND dialog)
{
    const DWORD until = GetTickCount() + 50;
    MSG message;
    do {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageW(dialog, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        Sleep(5);
    } while (GetTickCount() < until);
}

void click(HWND dialog, int id)
{
    SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

TEST_F(dialog_rig, typing_a_line_template_changes_the_preview_before_ok_and_cancel_keeps_nothing)
{
    const std::string before = read_file(file);
    const int published_before = published();
    std::wstring state_before, state_typed, details_typed;
    run_dialog([&](HWND dialog) {
        EXPECT_EQ(control_text(dialog, IDC_PREVIEW_SOURCE), L"What plays now:");
        EXPECT_EQ(control_text(dialog, IDC_PREVIEW_HEADER), L"Listening to Winamp");
        state_before = control_text(dialog, IDC_PREVIEW_STATE);
        EXPECT_EQ(control_text(dialog, IDC_PREVIEW_DETAILS), L"The Band - First Album");
        type_into(dialog, IDC_TITLE_LINE, L"%artist% live");
        state_typed = control_text(dialog, IDC_PREVIEW_STATE);
        type_into(dialog, IDC_ARTIST_LINE, L"$upper(%album%)");
        details_typed = control_text(dialog, IDC_PREVIEW_DETAILS);
        settle();
        EXPECT_EQ(read_file(file), before) << "nothing is saved before OK";
        EXPECT_EQ(published(), published_before) << "nothing is published before OK";
        click(dialog, IDCANCEL);
    });
    EXPECT_EQ(state_before, L"Blue (Playing)");
    EXPECT_EQ(state_typed, L"The Band live");
    EXPECT_EQ(details_typed, L"FIRST ALBUM");
    settle();
    EXPECT_EQ(read_file(file), before);
    EXPECT_EQ(published(), published_before);
    run_dialog([](HWND dialog) {
        EXPECT_EQ(control_text(dialog, IDC_TITLE_LINE), L"") << "Cancel forgets the template";
        EXPECT_EQ(control_text(dialog, IDC_PREVIEW_STATE), L"Blue (Playing)");
        click(dialog, IDCANCEL);
    });
}

TEST_F(dialog_rig, the_header_choice_changes_the_previews_header)
{
    std::vector<std::wstring> headers, choices;
    run_dialog([&](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_HEADER_SHOWS);
        for (int i = 0; i < SendMessageW(list, CB_GETCOUNT, 0, 0); ++i) {
            wchar_t text[32] = {};
            SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            choices.push_back(text);
        }
        for (const int choice : {1, 2, 0}) {
            choose(dialog, IDC_HEADER_SHOWS, choice);
            headers.push_back(control_text(dialog, IDC_PREVIEW_HEADER));
        }
        click(dialog, IDCANCEL);
    });
    EXPECT_EQ(choices, (std::vector<std::wstring>{L"Winamp", L"the artist", L"the title"}));
    ASSERT_EQ(headers.size(), 3u);
    EXPECT_EQ(headers[0], L"Listening to The Band");
    EXPECT_EQ(headers[1].rfind(L"Listening to Blue", 0), 0u) << testing::PrintToString(headers[1]);
    EXPECT_EQ(headers[2], L"Listening to Winamp");
}

TEST_F(dialog_rig, only_the_users_own_button_kind_enables_its_label_and_address)
{
    const struct {
        int choice, label, address;
    } buttons[] = {{IDC_BUTTON_1, IDC_BUTTON_1_LABEL, IDC_BUTTON_1_ADDRESS},
                   {IDC_BUTTON_2, IDC_BUTTON_2_LABEL, IDC_BUTTON_2_ADDRESS}};
    std::vector<std::wstring> kinds;
    run_dialog([&](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_BUTTON_1);
        for (int i = 0; i < SendMessageW(list, CB_GETCOUNT, 0, 0); ++i) {
            wchar_t text[64] = {};
            SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            kinds.push_back(text);
        }
        EXPECT_NE(control_text(dialog, IDC_OWN_BUTTONS_NOTE).find(L"never see your own buttons"),
                  std::wstring::npos);
        for (const auto &button : buttons) {
            EXPECT_EQ(SendMessageW(GetDlgItem(dialog, button.choice), CB_GETCURSEL, 0, 0), 0)
                << "off by default";
            for (int kind = 0; kind <= own_button; ++kind) {
                SCOPED_TRACE(kind);
                choose(dialog, button.choice, kind);
                EXPECT_EQ(IsWindowEnabled(GetDlgItem(dialog, button.label)) != FALSE, kind == own_button);
                EXPECT_EQ(IsWindowEnabled(GetDlgItem(dialog, button.address)) != FALSE, kind == own_button);
            }
            const auto &other = &button == &buttons[0] ? buttons[1] : buttons[0];
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, other.label)))
                << "the other button keeps its own";
            choose(dialog, button.choice, 0);
        }
        click(dialog, IDCANCEL);
    });
    EXPECT_EQ(kinds, (std::vector<std::wstring>{L"Off", L"The track's page", L"The album's page",
                                                L"The artist's page", L"The station's home page",
                                                L"My own label and address"}));
}

TEST_F(dialog_rig, the_users_own_button_shows_in_the_preview_as_its_label_is_typed)
{
    std::vector<std::wstring> shown;
    std::vector<bool> visible;
    run_dialog([&](HWND dialog) {
        const auto look = [&] {
            shown.push_back(control_text(dialog, IDC_PREVIEW_BUTTON_1));
            // The control's own style: the dialog itself may not be shown yet.
            visible.push_back(
                (GetWindowLongW(GetDlgItem(dialog, IDC_PREVIEW_BUTTON_1), GWL_STYLE) & WS_VISIBLE) != 0);
        };
        look();
        choose(dialog, IDC_BUTTON_1, own_button);
        type_into(dialog, IDC_BUTTON_1_ADDRESS, L"https://example.com/search?q=%title%");
        type_into(dialog, IDC_BUTTON_1_LABEL, L"Listen along");
        look();
        type_into(dialog, IDC_BUTTON_1_LABEL, L"Hear %title%");
        look();
        choose(dialog, IDC_BUTTON_1, 0);
        look();
        click(dialog, IDCANCEL);
    });
    EXPECT_EQ(shown, (std::vector<std::wstring>{L"", L"Listen along", L"Hear Blue", L""}));
    EXPECT_EQ(visible, (std::vector<bool>{false, true, true, false}));
}

// Where each `lines` entry ("key=value\r\n") is in `content`; npos when missing.
std::vector<size_t> positions_of(const std::string &content, const std::vector<std::string> &lines)
{
    std::vector<size_t> positions;
    for (const std::string &line : lines) {
        positions.push_back(content.find(line));
    }
    return positions;
}

TEST_F(dialog_rig, ok_saves_the_new_choices_as_keys_after_todays_and_they_come_back)
{
    run_dialog([](HWND dialog) {
        type_into(dialog, IDC_TITLE_LINE, L"[%artist% - ]%title%");
        type_into(dialog, IDC_ARTIST_LINE, L"%album%");
        choose(dialog, IDC_HEADER_SHOWS, 1);
        choose(dialog, IDC_BUTTON_1, own_button);
        type_into(dialog, IDC_BUTTON_1_LABEL, L"Listen along");
        type_into(dialog, IDC_BUTTON_1_ADDRESS, L"https://example.com/search?q=%title%");
        choose(dialog, IDC_BUTTON_2, 3);
        press_key(dialog, IDC_BUTTON_1_ADDRESS, VK_RETURN);
    });
    const std::string content = read_file(file);
    const std::vector<std::string> lines = {"Display album art=0\r\n",
                                            "Title line=[%artist% - ]%title%\r\n",
                                            "Artist line=%album%\r\n",
                                            "Header shows=1\r\n",
                                            "Button 1=5\r\n",
                                            "Button 1 label=Listen along\r\n",
                                            "Button 1 address=https://example.com/search?q=%title%\r\n",
                                            "Button 2=3\r\n"};
    const std::vector<size_t> positions = positions_of(content, lines);
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_NE(positions[i], std::string::npos) << lines[i] << " in " << content;
        if (i > 0) {
            EXPECT_LT(positions[i - 1], positions[i]) << lines[i] << " in " << content;
        }
    }

    restart_with(content);
    run_dialog([](HWND dialog) {
        EXPECT_EQ(control_text(dialog, IDC_TITLE_LINE), L"[%artist% - ]%title%");
        EXPECT_EQ(control_text(dialog, IDC_ARTIST_LINE), L"%album%");
        EXPECT_EQ(SendMessageW(GetDlgItem(dialog, IDC_HEADER_SHOWS), CB_GETCURSEL, 0, 0), 1);
        EXPECT_EQ(SendMessageW(GetDlgItem(dialog, IDC_BUTTON_1), CB_GETCURSEL, 0, 0), own_button);
        EXPECT_EQ(control_text(dialog, IDC_BUTTON_1_LABEL), L"Listen along");
        EXPECT_EQ(control_text(dialog, IDC_BUTTON_1_ADDRESS), L"https://example.com/search?q=%title%");
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_BUTTON_1_LABEL)));
        EXPECT_EQ(SendMessageW(GetDlgItem(dialog, IDC_BUTTON_2), CB_GETCURSEL, 0, 0), 3);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_BUTTON_2_LABEL)));
        click(dialog, IDCANCEL);
    });
}

TEST_F(dialog_rig, with_nothing_playing_the_preview_shows_a_sample_track)
{
    host->stop();
    settle();
    run_dialog([](HWND dialog) {
        EXPECT_EQ(control_text(dialog, IDC_PREVIEW_SOURCE), L"A sample track, since nothing plays:");
        EXPECT_EQ(control_text(dialog, IDC_PREVIEW_HEADER), L"Listening to Winamp");
        EXPECT_NE(control_text(dialog, IDC_PREVIEW_STATE), L"");
        EXPECT_NE(control_text(dialog, IDC_PREVIEW_STATE), L"(Idle)");
        click(dialog, IDC_SHOW_TITLE);
        EXPECT_EQ(control_text(dialog, IDC_PREVIEW_STATE), L"(Playing)") << "a box changes the sample too";
        click(dialog, IDCANCEL);
    });
}

TEST_F(dialog_rig, the_dialog_fits_a_1024_by_768_screen)
{
    RECT box{};
    int dpi = 0;
    run_dialog([&](HWND dialog) {
        GetWindowRect(dialog, &box);
        HDC screen = GetDC(nullptr);
        dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        click(dialog, IDCANCEL);
    });
    ASSERT_EQ(dpi, 96);
    EXPECT_LE(box.right - box.left, 1024);
    EXPECT_LE(box.bottom - box.top, 768 - 48) << "room for a taskbar";
}

// Every control the user sets, in the order Tab visits them, then OK and Cancel.
const int tab_order[] = {IDC_SHOW_TITLE,
                         IDC_SHOW_SONG_INFO,
                         IDC_SHOW_ALBUM_NAME,
                         IDC_SHOW_ALBUM_ART,
                         IDC_SHOW_ARTIST_NAME,
                         IDC_SHOW_ELAPSED_TIME,
                         IDC_STATUS_DISPLAY,
                         IDC_HIDE_WHILE_PAUSED,
                         IDC_SHARE_ON_DISCORD,
                         IDC_TITLE_LINE,
                         IDC_ARTIST_LINE,
                         IDC_HEADER_SHOWS,
                         IDC_BUTTON_1,
                         IDC_BUTTON_1_LABEL,
                         IDC_BUTTON_1_ADDRESS,
                         IDC_BUTTON_2,
                         IDC_BUTTON_2_LABEL,
                         IDC_BUTTON_2_ADDRESS,
                         IDOK,
                         IDCANCEL};

TEST_F(dialog_rig, tab_reaches_every_control_in_order)
{
    std::vector<int> visited;
    run_dialog([&](HWND dialog) {
        choose(dialog, IDC_BUTTON_1, own_button);
        choose(dialog, IDC_BUTTON_2, own_button);
        SetFocus(GetDlgItem(dialog, IDC_SHOW_TITLE));
        for (size_t step = 0; step < std::size(tab_order); ++step) {
            visited.push_back(GetDlgCtrlID(GetFocus()));
            PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
            PostMessageW(GetFocus(), WM_KEYUP, VK_TAB, 0);
            pump_dialog(dialog);
        }
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), IDC_SHOW_TITLE) << "Tab comes round again";
        click(dialog, IDCANCEL);
    });
    EXPECT_EQ(visited, std::vector<int>(std::begin(tab_order), std::end(tab_order)));
}

// The letter after '&' in a control's text, or 0.
wchar_t accelerator_of(const std::wstring &text)
{
    for (size_t at = text.find(L'&'); at != std::wstring::npos && at + 1 < text.size();
         at = text.find(L'&', at + 2)) {
        if (text[at + 1] != L'&') {
            return static_cast<wchar_t>(towlower(text[at + 1]));
        }
    }
    return 0;
}

// Each control the user sets has an accelerator of its own, on itself or on
// the caption before it, and Alt with it moves the focus there.
TEST_F(dialog_rig, every_setting_has_an_accelerator_of_its_own)
{
    std::map<wchar_t, int> owner;
    std::vector<int> without;
    std::vector<int> reached;
    run_dialog([&](HWND dialog) {
        choose(dialog, IDC_BUTTON_1, own_button);
        choose(dialog, IDC_BUTTON_2, own_button);
        for (const int id : tab_order) {
            if (id == IDOK || id == IDCANCEL) {
                continue;
            }
            HWND control = GetDlgItem(dialog, id);
            wchar_t class_name[16] = {};
            GetClassNameW(control, class_name, 16);
            const bool captioned = _wcsicmp(class_name, L"Button") != 0;
            const std::wstring text =
                control_text(dialog, captioned ? GetDlgCtrlID(GetWindow(control, GW_HWNDPREV)) : id);
            const wchar_t letter = accelerator_of(text);
            if (letter == 0) {
                without.push_back(id);
                continue;
            }
            EXPECT_EQ(owner.count(letter), 0u) << "'" << static_cast<char>(letter) << "' twice";
            owner[letter] = id;
            SetFocus(GetDlgItem(dialog, IDCANCEL));
            PostMessageW(GetFocus(), WM_SYSCHAR, letter, 1 << 29);
            pump_dialog(dialog);
            reached.push_back(GetDlgCtrlID(GetFocus()) == id ? id : -GetDlgCtrlID(GetFocus()));
            if (!captioned) {
                click(dialog, id); // the accelerator ticked the box: it is untouched again for the next one
            }
        }
        click(dialog, IDCANCEL);
    });
    EXPECT_TRUE(without.empty()) << testing::PrintToString(without);
    std::vector<int> settings(std::begin(tab_order), std::end(tab_order) - 2);
    EXPECT_EQ(reached, settings);
}

// The template in the shipped DLL, read as the dialog manager reads it.
struct template_reader {
    const BYTE *at;
    WORD word()
    {
        const WORD value = *reinterpret_cast<const WORD *>(at);
        at += 2;
        return value;
    }
    DWORD dword()
    {
        const DWORD value = *reinterpret_cast<const DWORD *>(at);
        at += 4;
        return value;
    }
    short coordinate() { return static_cast<short>(word()); }
    std::wstring text()
    {
        std::wstring value;
        for (WORD c = word(); c != 0; c = word()) {
            value.push_back(static_cast<wchar_t>(c));
        }
        return value;
    }
    // A name or an ordinal (0xFFFF, then the number).
    std::wstring name_or_ordinal()
    {
        if (*reinterpret_cast<const WORD *>(at) == 0xFFFF) {
            word();
            return L"#" + std::to_wstring(word());
        }
        return text();
    }
    void align() { at += (reinterpret_cast<uintptr_t>(at) & 2); }
};

TEST_F(dialog_rig, the_template_in_the_dll_is_exactly_the_settings_dialog)
{
    HMODULE module = host->descriptor()->hDllInstance;
    HRSRC resource = FindResourceExW(module, MAKEINTRESOURCEW(5) /* RT_DIALOG */, MAKEINTRESOURCEW(101),
                                     MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(resource, nullptr);
    template_reader in{static_cast<const BYTE *>(LockResource(LoadResource(module, resource)))};
    EXPECT_EQ(in.word(), 1);      // version of the extended template
    EXPECT_EQ(in.word(), 0xFFFF); // its signature
    EXPECT_EQ(in.dword(), 0u);    // help id
    EXPECT_EQ(in.dword(), 0u);    // extended style
    EXPECT_EQ(in.dword(), 0x80C800C8u);
    const WORD controls = in.word();
    EXPECT_EQ(controls, 44);
    EXPECT_EQ(in.coordinate(), 0);
    EXPECT_EQ(in.coordinate(), 0);
    EXPECT_EQ(in.coordinate(), 440);
    EXPECT_EQ(in.coordinate(), 310);
    EXPECT_EQ(in.name_or_ordinal(), L""); // no menu
    EXPECT_EQ(in.name_or_ordinal(), L""); // the default class
    EXPECT_EQ(in.text(), L"Corvane Config");
    EXPECT_EQ(in.word(), 8);   // points
    EXPECT_EQ(in.word(), 400); // weight
    EXPECT_EQ(in.at[0], 0);    // not italic
    EXPECT_EQ(in.at[1], 1);    // DEFAULT_CHARSET
    in.at += 2;
    EXPECT_EQ(in.text(), L"MS Shell Dlg");

    // WS_CHILD | WS_VISIBLE and: BS_AUTOCHECKBOX | WS_TABSTOP; CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
    // ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP; SS_NOPREFIX (texts filled at run time); the preview's
    // texts SS_NOPREFIX | SS_ENDELLIPSIS, its boxes centred with a border.
    constexpr DWORD check_box = 0x50010003, caption = 0x50000000, drop_down = 0x50210003, edit = 0x50810080,
                    filled_text = 0x50000080, preview_text = 0x50004080, preview_box = 0x50804281;
    const struct {
        int id;
        DWORD style;
        short x, y, cx, cy;
        const wchar_t *text;
        const wchar_t *window_class; // as an ordinal
    } expected[] = {
        {IDC_SHOW_TITLE, check_box, 7, 7, 124, 10, L"Show &title in state", L"#128"},
        {IDC_SHOW_SONG_INFO, check_box, 135, 7, 124, 10, L"Show &song info in presence", L"#128"},
        {IDC_SHOW_ALBUM_NAME, check_box, 7, 18, 124, 10, L"Show alb&um name in details", L"#128"},
        {IDC_SHOW_ALBUM_ART, check_box, 135, 18, 124, 10, L"Show album &art in details", L"#128"},
        {IDC_SHOW_ARTIST_NAME, check_box, 7, 29, 124, 10, L"Show artist &name in details", L"#128"},
        {IDC_SHOW_ELAPSED_TIME, check_box, 135, 29, 124, 10, L"Show elapsed ti&me in presence", L"#128"},
        {IDC_STATUS_DISPLAY_LABEL, caption, 7, 45, 46, 8, L"&Friends see:", L"#130"},
        {IDC_STATUS_DISPLAY, drop_down, 55, 43, 72, 60, L"", L"#133"},
        {IDC_HIDE_WHILE_PAUSED, check_box, 135, 44, 124, 10, L"&Hide while paused", L"#128"},
        {IDC_SHARE_ON_DISCORD, check_box, 7, 59, 124, 10, L"Share on Disc&ord", L"#128"},
        {IDC_TITLE_LINE_CAPTION, caption, 7, 79, 50, 8, L"Title l&ine:", L"#130"},
        {IDC_TITLE_LINE, edit, 60, 77, 199, 12, L"", L"#129"},
        {IDC_ARTIST_LINE_CAPTION, caption, 7, 95, 50, 8, L"Artist lin&e:", L"#130"},
        {IDC_ARTIST_LINE, edit, 60, 93, 199, 12, L"", L"#129"},
        {IDC_TEMPLATE_HINT, filled_text, 60, 107, 199, 32, L"", L"#130"},
        {IDC_HEADER_SHOWS_CAPTION, caption, 7, 145, 50, 8, L"Header sho&ws:", L"#130"},
        {IDC_HEADER_SHOWS, drop_down, 60, 143, 100, 60, L"", L"#133"},
        {IDC_BUTTON_1_CAPTION, caption, 7, 163, 50, 8, L"Button &1:", L"#130"},
        {IDC_BUTTON_1, drop_down, 60, 161, 199, 90, L"", L"#133"},
        {IDC_BUTTON_1_LABEL_CAPTION, caption, 18, 179, 40, 8, L"&Label:", L"#130"},
        {IDC_BUTTON_1_LABEL, edit, 60, 177, 199, 12, L"", L"#129"},
        {IDC_BUTTON_1_ADDRESS_CAPTION, caption, 18, 195, 40, 8, L"A&ddress:", L"#130"},
        {IDC_BUTTON_1_ADDRESS, edit, 60, 193, 199, 12, L"", L"#129"},
        {IDC_BUTTON_2_CAPTION, caption, 7, 213, 50, 8, L"Button &2:", L"#130"},
        {IDC_BUTTON_2, drop_down, 60, 211, 199, 90, L"", L"#133"},
        {IDC_BUTTON_2_LABEL_CAPTION, caption, 18, 229, 40, 8, L"La&bel:", L"#130"},
        {IDC_BUTTON_2_LABEL, edit, 60, 227, 199, 12, L"", L"#129"},
        {IDC_BUTTON_2_ADDRESS_CAPTION, caption, 18, 245, 40, 8, L"Add&ress:", L"#130"},
        {IDC_BUTTON_2_ADDRESS, edit, 60, 243, 199, 12, L"", L"#129"},
        {IDC_OWN_BUTTONS_NOTE, filled_text, 7, 260, 256, 8,
         L"You never see your own buttons in Discord: only your friends do.", L"#130"},
        {IDC_CONNECTION_STATUS, filled_text, 7, 273, 256, 32, L"", L"#130"},
        {IDOK, 0x50010001, 327, 289, 50, 14, L"OK", L"#128"},
        {IDCANCEL, 0x50010000, 383, 289, 50, 14, L"Cancel", L"#128"},
        {IDC_PREVIEW_FRAME, 0x50000007, 271, 5, 162, 152, L"Preview", L"#128"}, // BS_GROUPBOX
        {IDC_PREVIEW_SOURCE, preview_text, 279, 17, 146, 8, L"", L"#130"},
        {IDC_PREVIEW_HEADER, preview_text, 279, 31, 146, 8, L"", L"#130"},
        {IDC_PREVIEW_IMAGE, preview_box, 279, 43, 40, 40, L"", L"#130"},
        {IDC_PREVIEW_DETAILS, preview_text, 325, 46, 100, 8, L"", L"#130"},
        {IDC_PREVIEW_STATE, preview_text, 325, 58, 100, 8, L"", L"#130"},
        {IDC_PREVIEW_TIME, preview_text, 325, 70, 100, 8, L"", L"#130"},
        {IDC_PREVIEW_HOVER, preview_text, 279, 87, 146, 8, L"", L"#130"},
        {IDC_PREVIEW_BUTTON_1, preview_box, 279, 101, 146, 13, L"", L"#130"},
        {IDC_PREVIEW_BUTTON_2, preview_box, 279, 117, 146, 13, L"", L"#130"},
        {IDC_PREVIEW_MEMBER_LIST, preview_text, 279, 137, 146, 8, L"", L"#130"},
    };
    for (int i = 0; i < controls && i < static_cast<int>(std::size(expected)); ++i) {
        SCOPED_TRACE(i);
        in.align();
        EXPECT_EQ(in.dword(), 0u); // help id
        EXPECT_EQ(in.dword(), 0u); // extended style
        EXPECT_EQ(in.dword(), expected[i].style);
        EXPECT_EQ(in.coordinate(), expected[i].x);
        EXPECT_EQ(in.coordinate(), expected[i].y);
        EXPECT_EQ(in.coordinate(), expected[i].cx);
        EXPECT_EQ(in.coordinate(), expected[i].cy);
        EXPECT_EQ(in.dword(), static_cast<DWORD>(expected[i].id));
        const std::wstring window_class = in.name_or_ordinal();
        const std::wstring ordinal = expected[i].window_class;
        const wchar_t *class_name = ordinal == L"#128"   ? L"BUTTON"
                                    : ordinal == L"#129" ? L"EDIT"
                                    : ordinal == L"#133" ? L"COMBOBOX"
                                                         : L"STATIC";
        EXPECT_TRUE(window_class == expected[i].window_class ||
                    _wcsicmp(window_class.c_str(), class_name) == 0)
            << "class " << std::string(window_class.begin(), window_class.end());
        EXPECT_EQ(in.name_or_ordinal(), expected[i].text);
        EXPECT_EQ(in.word(), 0); // no creation data
    }
}

} // namespace
