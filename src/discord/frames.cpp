// Frame codec: header bytes, the incremental reader, the payloads written with
// the JSON writer (an activity as the publishing gate lets it through) and
// the replies read with the JSON reader.
#include "discord/frames.h"

#include "discord/publish_gate.h"

#include "json/json.h"
#include "json/json_writer.h"

#include <memory>

namespace {

void append_uint32(std::string &out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

uint32_t read_uint32(const char *bytes)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    }
    return value;
}

using json_tree = std::unique_ptr<json_node, decltype(&json_free)>;

json_tree parse(std::string &text)
{
    return json_tree(json_parse(text.data()), &json_free);
}

// The string member `key` of `node`; empty when there is none.
std::string string_member(const json_node *node, const char *key)
{
    return std::string(json_member_string(node, key).value_or(""));
}

int64_t integer_member(const json_node *node, const char *key)
{
    const json_node *member = json_member(node, key);
    return member != nullptr && member->kind == JSON_INTEGER ? member->integer : 0;
}

void write_text(json_writer &out, const char *name, const std::string &value)
{
    if (!value.empty()) {
        out.key(name);
        out.string(value);
    }
}

void write_number(json_writer &out, const char *name, int64_t value)
{
    if (value != 0) {
        out.key(name);
        out.integer(value);
    }
}

// The activity object; a group (timestamps, assets) only when it has a member.
void write_activity(json_writer &out, const discord_activity &activity)
{
    out.begin_object();
    write_number(out, "type", activity.type);
    write_text(out, "name", activity.name);
    write_text(out, "state", activity.state);
    write_text(out, "details", activity.details);
    write_text(out, "state_url", activity.state_url);
    write_text(out, "details_url", activity.details_url);
    if (activity.start != 0 || activity.end != 0) {
        out.key("timestamps");
        out.begin_object();
        write_number(out, "start", activity.start);
        write_number(out, "end", activity.end);
        out.end_object();
    }
    if (!activity.large_image.empty() || !activity.large_text.empty() || !activity.large_url.empty()) {
        out.key("assets");
        out.begin_object();
        write_text(out, "large_image", activity.large_image);
        write_text(out, "large_text", activity.large_text);
        write_text(out, "large_url", activity.large_url);
        out.end_object();
    }
    write_number(out, "status_display_type", activity.status_display_type);
    if (!activity.buttons.empty()) {
        out.key("buttons");
        out.begin_array();
        for (const activity_button &button : activity.buttons) {
            out.begin_object();
            write_text(out, "label", button.label);
            write_text(out, "url", button.url);
            out.end_object();
        }
        out.end_array();
    }
    out.end_object();
}

} // namespace

std::string frame_encode(uint32_t opcode, std::string_view payload)
{
    std::string bytes;
    bytes.reserve(frame_header_bytes + payload.size());
    append_uint32(bytes, opcode);
    append_uint32(bytes, static_cast<uint32_t>(payload.size()));
    bytes += payload;
    return bytes;
}

void frame_reader::feed(std::string_view bytes)
{
    if (!failed_) {
        pending_ += bytes;
    }
}

std::optional<frame> frame_reader::next()
{
    if (failed_ || pending_.size() < frame_header_bytes) {
        return std::nullopt;
    }
    const uint32_t opcode = read_uint32(pending_.data());
    const uint32_t length = read_uint32(pending_.data() + 4);
    if (opcode > FRAME_PONG || length > frame_max_payload) {
        failed_ = true;
        pending_.clear();
        return std::nullopt;
    }
    if (pending_.size() - frame_header_bytes < length) {
        return std::nullopt;
    }
    frame whole{opcode, pending_.substr(frame_header_bytes, length)};
    pending_.erase(0, frame_header_bytes + length);
    return whole;
}

std::string handshake_payload(std::string_view client_id)
{
    json_writer out;
    out.begin_object();
    out.key("v");
    out.integer(1);
    out.key("client_id");
    out.string(client_id);
    out.end_object();
    return out.text();
}

std::string set_activity_payload(uint32_t pid, std::string_view nonce, const discord_activity *activity)
{
    json_writer out;
    out.begin_object();
    out.key("cmd");
    out.string("SET_ACTIVITY");
    out.key("nonce");
    out.string(nonce);
    out.key("args");
    out.begin_object();
    out.key("pid");
    out.integer(pid);
    // A clear leaves the activity out, the form Discord's documentation of
    // SET_ACTIVITY gives for it; the Game SDK's empty object relied on an
    // activity without fields being read as none.
    if (activity != nullptr) {
        out.key("activity");
        write_activity(out, publishable_activity(*activity));
    }
    out.end_object();
    out.end_object();
    return out.text();
}

std::optional<discord_reply> read_reply(std::string payload)
{
    const json_tree root = parse(payload);
    if (!root || root->kind != JSON_OBJECT) {
        return std::nullopt;
    }
    discord_reply reply;
    reply.nonce = string_member(root.get(), "nonce");
    const std::string command = string_member(root.get(), "cmd");
    const std::string event = string_member(root.get(), "evt");
    const json_node *data = json_member(root.get(), "data");
    if (event == "ERROR") {
        reply.kind = reply_kind::error;
        reply.refusal = {integer_member(data, "code"), string_member(data, "message")};
    } else if (command == "DISPATCH" && event == "READY") {
        reply.kind = reply_kind::ready;
        reply.user_name = string_member(json_member(data, "user"), "username");
    } else if (command != "DISPATCH" && !command.empty()) {
        reply.kind = reply_kind::command_done;
    }
    return reply;
}

discord_refusal read_close(std::string payload)
{
    const json_tree root = parse(payload);
    return {integer_member(root.get(), "code"), string_member(root.get(), "message")};
}
