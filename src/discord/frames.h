// Discord's pipe protocol as bytes: the frame header (opcode and payload
// length, little-endian), a reader that cuts incoming bytes into frames, the
// payloads the plug-in sends and the replies it reads. No Windows API here.
#pragma once

#include "discord/activity.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum frame_opcode : uint32_t {
    FRAME_HANDSHAKE = 0,
    FRAME_FRAME = 1, // a command or its reply, JSON
    FRAME_CLOSE = 2,
    FRAME_PING = 3,
    FRAME_PONG = 4,
};

inline constexpr size_t frame_header_bytes = 8;
// Largest payload accepted from Discord: its replies are a few hundred bytes;
// a longer length is a broken stream, not a frame to wait for.
inline constexpr uint32_t frame_max_payload = 64 * 1024;

struct frame {
    uint32_t opcode;
    std::string payload;
};

// Header and payload, as they go into the pipe.
std::string frame_encode(uint32_t opcode, std::string_view payload);

// Cuts a byte stream into frames. After a protocol error (an unknown opcode,
// a length beyond frame_max_payload) it yields nothing more.
class frame_reader {
  public:
    void feed(std::string_view bytes);
    // The next whole frame, or nothing until more bytes arrive or after an error.
    std::optional<frame> next();
    bool failed() const { return failed_; }

  private:
    std::string pending_;
    bool failed_ = false;
};

// {"v":1,"client_id":"<client_id>"}
std::string handshake_payload(std::string_view client_id);

// SET_ACTIVITY for the process `pid`, with `nonce`; without an activity, a
// clear. The activity goes through publishable_activity (discord/publish_gate.h);
// empty strings and zero numbers are left out.
std::string set_activity_payload(uint32_t pid, std::string_view nonce, const discord_activity *activity);

enum class reply_kind {
    ready,        // the READY dispatch: the handshake was accepted
    error,        // a command was refused
    command_done, // a command's reply
    other,        // any other dispatch
};

// What Discord said when it refused something: a CLOSE's payload, or the
// data of an ERROR reply. Whatever it leaves out stays empty (code 0).
struct discord_refusal {
    int64_t code = 0;
    std::string message;
};

struct discord_reply {
    reply_kind kind = reply_kind::other;
    std::string nonce;       // of the command answered, when there is one
    std::string user_name;   // READY: the user's name
    discord_refusal refusal; // ERROR
};

// Reads a FRAME payload; nothing when it is not a JSON object.
std::optional<discord_reply> read_reply(std::string payload);

// Reads a CLOSE payload, {"code":N,"message":"..."}.
discord_refusal read_close(std::string payload);
