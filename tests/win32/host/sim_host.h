// Simulated Winamp: a main window (Unicode or ANSI) that answers the plug-in's
// queries from a scripted player, loads the plug-in DLL as the host does,
// sends the playback-status notification and runs a message loop.
// One instance at a time; everything runs on the thread that created it.
#pragma once

#include "winamp_gen.h"

#include <map>
#include <string>
#include <vector>

struct sim_track {
    // False for entries the host has no extended information for.
    bool extended = true;
    // Tag name to value, under the names Winamp's input plug-ins answer
    // ("title", "artist", "albumartist", "album"); a missing tag reads as
    // empty text, as an untagged file's does.
    std::map<std::wstring, std::wstring> tags;
    std::wstring display_title;
    // Length in seconds for IPC_GETOUTPUTTIME; 0 for unknown (a stream).
    LRESULT length_seconds = 0;
};

struct sim_message {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

// What the host's own window procedure returns for the status notification
// and for a query it does not know, so tests can see results pass through.
inline constexpr LRESULT sim_status_result = 0x603;
inline constexpr LRESULT sim_unknown_query_result = 0x5EED;

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
    std::map<std::wstring, sim_track> library;
    std::wstring playing_file;
    std::wstring plugin_directory_w;
    std::string plugin_directory_a;
    std::string ini_directory_a;
    std::wstring ini_directory_w;

    // Starts `file` playing (it must be in the library) and notifies.
    void play(const std::wstring &file, LRESULT position_ms = 0);
    void pause();
    void resume();
    void stop();
    // Seeks the way another plug-in or a remote control does: IPC_JUMPTOTIME
    // sent to the main window. The host notifies nothing.
    void seek(LRESULT position_ms);
    // Seeks without a message to the main window, as the jump-to-time
    // dialog, another window or a remote control may.
    void seek_unheard(LRESULT position_ms);
    // Seeks 5 s forward or back through the main window's command, as a key does.
    void jump_5s(bool forward);
    // Sends the playback-status notification to the main window.
    LRESULT notify_status();
    // Sends the title-change notification (a stream's next song) to the main window.
    LRESULT notify_title();

    // Plug-in lifecycle, as the host runs it.
    bool load_plugin(const wchar_t *dll_name = L"gen_DiscordCorvane.dll");
    winampGeneralPurposePlugin *descriptor() const { return descriptor_; }
    int init_plugin();
    void config_plugin();
    void quit_plugin();
    void unload_plugin();

    // Runs the message loop for `milliseconds`, dispatching timers and messages.
    void pump(unsigned milliseconds);

    // Every message that reached the host's own window procedure.
    std::vector<sim_message> received;
    int queries_received(LPARAM query) const;

  private:
    static LRESULT CALLBACK window_procedure(HWND, UINT, WPARAM, LPARAM);
    LRESULT answer_query(WPARAM wparam, LPARAM query);
    // Sends a notification to the main window (the plug-in's subclass first) on a misaligned stack.
    LRESULT send_to_window(WPARAM notification);
    LRESULT position_now() const;
    void move_to(LRESULT position_ms);
    LRESULT answer_extended_info(extendedFileInfoStructW *info) const;

    bool unicode_;
    DWORD position_clock_ = GetTickCount(); // when the position last stood at output_time_ms
    HWND window_ = nullptr;
    HMODULE module_ = nullptr;
    winampGeneralPurposePlugin *descriptor_ = nullptr;
};
