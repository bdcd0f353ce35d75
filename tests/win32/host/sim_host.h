// Simulated Winamp: a main window (Unicode or ANSI) that answers the plug-in's
// queries from a scripted player as Winamp 5.9 does, loads the plug-in DLL as
// the host does, posts its notifications in the real order and number, plays
// internet radio through its buffering stages, and runs a message loop.
// One instance at a time; everything runs on the thread that created it.
#pragma once

#include "winamp_gen.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

struct sim_track {
    // False for entries the host has no extended information for (a stream,
    // a format without tag support).
    bool extended = true;
    // Tag name to value, under the names Winamp's input plug-ins answer
    // ("title", "artist", "albumartist", "album"); a missing tag reads as
    // empty text, as an untagged file's does.
    std::map<std::wstring, std::wstring> tags;
    // What the playlist shows: the title format's result for a file; for a
    // stream the URL, the status texts, then "Artist - Title (Station)".
    std::wstring display_title;
    // Length in seconds for IPC_GETOUTPUTTIME; 0 for unknown (a stream).
    LRESULT length_seconds = 0;
};

struct sim_message {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

// An entry the hotkeys plug-in took from a plug-in, as its preferences list it.
struct sim_hotkey {
    std::wstring name;
    std::string id;
    DWORD flags;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
    HWND window; // NULL: the main window
};

// Where the host starts the command ids it hands out, above its own (40000s).
inline constexpr LRESULT sim_first_registered_command = 45000;

// What the host's own window procedure returns for the status notification and for a
// query it does not know, so tests can see results pass through.
inline constexpr LRESULT sim_status_result = 0x603;
inline constexpr LRESULT sim_unknown_query_result = 0x5EED;

// The host's notifications (wParam of IPC_CB_MISC) besides the title and
// status ones the plug-in follows, and the messages it sends its own window
// when a file starts or stops (wParam: the file's name).
inline constexpr WPARAM SIM_CB_MISC_INFO = 1;
inline constexpr WPARAM SIM_CB_MISC_VOLUME = 4;
inline constexpr WPARAM SIM_CB_MISC_PAUSE = 7;
inline constexpr WPARAM SIM_CB_MISC_UNPAUSE = 8;
inline constexpr LPARAM SIM_IPC_STOPPLAYING = 3002;
inline constexpr LPARAM SIM_IPC_PLAYING_FILE = 3003;
inline constexpr LPARAM SIM_IPC_PLAYING_FILEW = 13003;

class sim_host {
  public:
    explicit sim_host(bool unicode_window = true);
    ~sim_host();
    sim_host(const sim_host &) = delete;
    sim_host &operator=(const sim_host &) = delete;

    HWND window() const { return window_; }
    // The host window's own procedure, as registered with its class.
    LONG_PTR own_procedure() const;
    LONG_PTR current_procedure() const;

    // Scripted player.
    unsigned version = 0x5092;  // Winamp 5.9.2 (5.yx reports 0x50yx)
    LRESULT playback_state = 0; // answer to IPC_ISPLAYING
    // Playback position for IPC_GETOUTPUTTIME; while playing it advances with
    // the clock from the last play, pause or resume, as a player's does.
    LRESULT output_time_ms = -1;
    // The entries: a file's path, a CD track ("cda://D,1", its tags from the
    // disc's database as the CD input plug-in answers them), a "file:///"
    // entry, all read through their tags with a length and seekable; or a
    // stream's URL (http, https, icy, uvox, mms), read through its stream keys.
    std::map<std::wstring, sim_track> library;
    std::wstring playing_file;
    std::wstring plugin_directory_w;
    std::string plugin_directory_a;
    std::string ini_directory_a;
    std::wstring ini_directory_w;

    // The stream keys the host answers for the playing URL ("streamtitle",
    // "streamname", "streamurl", "uvox/title", ...); a key not given answers
    // with an empty text.
    std::map<std::wstring, std::wstring> stream_keys;

    // False: an older host that leaves IPC_FORMAT_TITLE_EXTENDED unanswered.
    bool formats_titles = true;
    // The entries the host formatted a title for, and the fields it answered
    // itself (the tag function left them to it), in the order asked.
    std::vector<std::wstring> formatted_entries;
    std::vector<std::wstring> host_fields_asked;

    // Starts `file` (in the library; a stream's URL is a stream) playing, as Play or
    // the end of the previous track does: a track already playing stops
    // first (the stop notifications), then the play notifications follow,
    // all posted but for IPC_PLAYING_FILE(W), and a title and an info
    // notification ~100 ms later. By the time the posted ones are handled,
    // the new file plays. A stream's display title is its bare URL.
    void play(const std::wstring &file, LRESULT position_ms = 0);
    void pause();
    void resume();
    void stop();

    // Internet radio, after play(url): "[Connecting] URL"; "[Buffer: N%] ..."
    // while the position stands (at the start and at every rebuffer); and a
    // song on air, which sets "streamtitle" and makes the display title
    // "Artist - Title (Station)" with the station from "streamname". Each
    // posts a title notification, as the host does.
    void stream_connecting();
    void stream_buffering(int percent);
    void stream_on_air(const std::wstring &stream_title);

    // Seeks the way another plug-in or a remote control does: IPC_JUMPTOTIME
    // sent to the main window. The host notifies nothing.
    void seek(LRESULT position_ms);
    // Seeks without a message to the main window, as the jump-to-time
    // dialog, another window or a remote control may.
    void seek_unheard(LRESULT position_ms);
    // Seeks 5 s forward or back through the main window's command, as a key does.
    void jump_5s(bool forward);
    // Posts a notification to the main window, as the host does.
    void notify_status();
    void notify_title();
    // Sends a notification (as another program might) and returns what the
    // window's procedure chain answered.
    LRESULT send_notification(WPARAM notification);

    // Plug-in lifecycle, as the host runs it.
    bool load_plugin(const wchar_t *dll_name = L"gen_DiscordCorvane.dll");
    winampGeneralPurposePlugin *descriptor() const { return descriptor_; }
    int init_plugin();
    void config_plugin();
    void quit_plugin();
    void unload_plugin();
    // Exits as Winamp does: stops playback, destroys the main window, and only
    // then calls quit; the DLL stays loaded for good (not even the destructor frees it).
    void exit_without_unloading();
    // Windows ends the session: the main window's procedure calls quit from
    // inside WM_ENDSESSION, with every subclass's procedure below it.
    void end_session();
    // True: the WM_ENDSESSION handler frees the DLL right after quit, as a
    // host may, while the subclass's procedure is still below on the stack.
    bool free_plugin_at_end_session = false;

    // The host's menus as IPC_GET_HMENU answers them (-1 the main menu with
    // File, Play, Options, Windows and Help; 0 the right-click menu; 1-5 the
    // main menu's submenus); NULL for any other.
    HMENU menu(WPARAM which) const;
    // The state flags (MF_CHECKED, ...) of the item of `menu(which)` whose
    // text is `text`; none when it holds no such item.
    std::optional<UINT> menu_item_state(WPARAM which, const std::wstring &text) const;
    // Chooses that item as a user does: its command reaches the main window
    // as WM_COMMAND. False when there is no such item.
    bool click_menu_item(WPARAM which, const std::wstring &text);

    // The hotkeys plug-in: present unless a test says otherwise. It takes
    // the entries plug-ins post it ("GenHotkeysAdd") into `hotkeys`.
    bool hotkeys_plugin = true;
    std::vector<sim_hotkey> hotkeys;
    // Presses the key of the entry `id` (case-insensitive): its message is
    // sent. False when there is no such entry.
    bool press_hotkey(const std::string &id);

    // Runs the message loop for `milliseconds`, dispatching timers and messages.
    void pump(unsigned milliseconds);

    // Every message that reached the host's own window procedure.
    std::vector<sim_message> received;
    int queries_received(LPARAM query) const;

  private:
    static LRESULT CALLBACK window_procedure(HWND, UINT, WPARAM, LPARAM);
    LRESULT answer_query(WPARAM wparam, LPARAM query);
    // Calls into the window on a misaligned stack: the plug-in's subclass first.
    LRESULT send_to_window(UINT message, WPARAM wparam, LPARAM lparam);
    void post_notification(WPARAM notification);
    void post_stop_sequence();
    void set_stream_display_title(const std::wstring &text);
    LRESULT position_now() const;
    void move_to(LRESULT position_ms);
    bool plays_stream() const;
    LRESULT answer_extended_info(extendedFileInfoStructW *info) const;
    LRESULT format_title(waFormatTitleExtended *request);
    void create_menus();
    LRESULT register_message(const char *name);
    bool take_hotkey(WPARAM wparam, LPARAM query);

    bool unicode_;
    DWORD position_clock_ = GetTickCount(); // when the position last stood at output_time_ms
    bool buffering_ = false;                // a stream's position stands while it buffers
    std::string playing_file_a_;
    HWND window_ = nullptr;
    HMODULE module_ = nullptr;
    HMENU main_menu_ = nullptr;
    HMENU main_popup_ = nullptr;
    LRESULT next_command_ = sim_first_registered_command;
    std::map<std::string, LRESULT> registered_messages_;
    winampGeneralPurposePlugin *descriptor_ = nullptr;
};
