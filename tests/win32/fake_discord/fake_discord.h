// A fake Discord desktop client for the tests: a named-pipe server inside the
// test program, on threads of its own, as strict as the real client. It
// refuses what Discord refuses: a handshake without version 1 or an
// application id of digits gets CLOSE 4000 "Invalid Client ID" and the pipe
// closed; an activity with any field outside Discord's documented limits gets
// an ERROR 4000 naming the field, and is dropped whole; a CLOSE from the
// client ends the connection. It records every frame it receives (opcode,
// JSON, the activity read from it, arrival time, connection number, whether
// it was refused) and every fault of the client (a frame out of order, a
// wrong handshake, process id or nonce, an activity refused for its limits, a
// pong that does not echo a ping, more than 5 activity updates within 20 s).
// Tests script it: READY late or never, CLOSE for the next handshakes, ERROR
// for the next updates, an old Discord that refuses the fields added since
// 2025, PING, a flood of PINGs, CLOSE, raw bytes, not reading, going away and
// coming back, and discord-ipc-0 taken by an instance that closes at once or
// never answers.
#pragma once

#include "discord/activity.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct received_frame {
    int connection;  // 1 for the first connection the fake accepted
    uint32_t opcode; // 0 HANDSHAKE, 1 FRAME, 2 CLOSE, 3 PING, 4 PONG
    std::string json;
    DWORD arrival_ms; // GetTickCount() on arrival
    // A SET_ACTIVITY command: its nonce, and the activity (none: a clear).
    bool set_activity = false;
    std::string nonce;
    bool clear = false;
    discord_activity activity;
    bool refused = false; // answered with ERROR, and dropped
};

// Discord's largest activity update rate, and its window.
inline constexpr size_t fake_discord_window_updates = 5;
inline constexpr DWORD fake_discord_window_ms = 20000;

class fake_discord {
  public:
    // Starts serving at once on discord-ipc-0.
    fake_discord();
    // Closes every pipe and stops its threads.
    ~fake_discord();
    fake_discord(const fake_discord &) = delete;
    fake_discord &operator=(const fake_discord &) = delete;

    // Discord quits: the connection and every pipe instance close.
    void go_away();
    // Discord starts (again), on the first free pipe.
    void come_back();
    // Takes discord-ipc-0 with an instance that accepts and closes at once
    // (`silent`: that accepts, reads and never answers), so that the fake
    // itself serves on discord-ipc-1 (applies when it comes back).
    void occupy_first_pipe(bool silent = false);

    // READY follows the handshake after `milliseconds`; a negative delay: never.
    void set_ready_delay(int milliseconds);
    // The next `count` handshakes are answered with a CLOSE, after which the pipe is closed.
    void refuse_handshakes(int count, int code, const std::string &message);
    // The next `count` SET_ACTIVITY commands are answered with ERROR `code`.
    void refuse_next_updates(int count, int code, const std::string &message);
    // While true, Discord is one from before 2025: an activity holding any of
    // `name`, `buttons`, `details_url`, `state_url`, `assets.large_url`,
    // `assets.small_url` or `status_display_type` gets ERROR 4000 (no fault).
    void refuse_newer_fields(bool refusing);
    // On the current connection: a PING with `payload`; a CLOSE, after which
    // the pipe is closed; or bytes as they are (a malformed frame, garbage).
    void send_ping(const std::string &payload);
    void send_close(int code, const std::string &message);
    void send_raw(const std::string &bytes);
    // On the current connection: stops reading and sends PINGs of 64 KiB, each
    // as soon as the client has taken the one before, until the connection ends.
    void flood_pings();
    // While false, the fake reads nothing more from the pipe.
    void set_reading(bool reading);

    std::vector<received_frame> frames() const;
    // The SET_ACTIVITY frames alone.
    std::vector<received_frame> updates() const;
    std::vector<std::string> faults() const;
    // The activity Discord shows now: the last update it took on the open
    // connection; none after a clear, before any update or with no connection.
    std::optional<discord_activity> showing() const;
    // Connections accepted so far; whether one is open and past READY.
    int connections() const;
    bool connected() const;
    // When each connection was accepted (GetTickCount()), the first first.
    std::vector<DWORD> connection_times() const;
    // Connections the instance occupying discord-ipc-0 accepted.
    int first_pipe_connections() const;
    // PINGs sent so far, and PONGs received that echoed one.
    int pings() const;
    int pongs() const;

    // The user name READY gives.
    static constexpr const char *user_name = "Corvane Tester";

    struct state;

  private:
    std::shared_ptr<state> state_;
};

// An 8-byte header and a payload.
std::string fake_discord_frame(uint32_t opcode, const std::string &payload);
