// Fake Discord: the pipe server thread (one connection at a time, as the
// plug-in makes), the occupier of discord-ipc-0, the strict reading of what
// the client sends, and the answers Discord gives.
#include "fake_discord.h"

#include "json/json.h"
#include "json/json_writer.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <utility>

#ifndef PLUGIN_CLIENT_ID
#error "PLUGIN_CLIENT_ID (the Discord application id) must be defined by the build"
#endif

namespace {

// The client's frames are small; a longer length is a fault.
constexpr uint32_t max_client_payload = 64 * 1024;
// The fake's input buffer: small, so that a client writing to a fake that
// does not read soon has to wait.
constexpr DWORD input_buffer_bytes = 512;
// The payload of each PING of a flood: the longest a client has to accept.
constexpr size_t flood_ping_bytes = 64 * 1024;

std::wstring pipe_name(int number)
{
    return L"\\\\.\\pipe\\discord-ipc-" + std::to_wstring(number);
}

uint32_t read_uint32(const std::string &bytes, size_t at)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

struct json_document {
    std::string text;
    json_node *root;
    explicit json_document(std::string payload) : text(std::move(payload)), root(json_parse(text.data())) {}
    ~json_document() { json_free(root); }
    json_document(const json_document &) = delete;
    json_document &operator=(const json_document &) = delete;
};

std::string string_of(const json_node *node)
{
    return node != nullptr && node->kind == JSON_STRING ? node->string : "";
}

int64_t integer_of(const json_node *node)
{
    return node != nullptr && node->kind == JSON_INTEGER ? node->integer : 0;
}

// Waits for an overlapped operation on `pipe` for at most `timeout_ms`;
// cancels it after that. True when it completed.
bool finish(HANDLE pipe, OVERLAPPED *overlapped, DWORD timeout_ms, DWORD *transferred)
{
    if (WaitForSingleObject(overlapped->hEvent, timeout_ms) != WAIT_OBJECT_0) {
        CancelIoEx(pipe, overlapped);
    }
    return GetOverlappedResult(pipe, overlapped, transferred, TRUE) != FALSE;
}

} // namespace

std::string fake_discord_frame(uint32_t opcode, const std::string &payload)
{
    std::string bytes;
    for (uint32_t value : {opcode, static_cast<uint32_t>(payload.size())}) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes += static_cast<char>((value >> shift) & 0xFF);
        }
    }
    return bytes + payload;
}

struct fake_discord::state {
    mutable std::mutex lock;
    HANDLE command = CreateEventW(nullptr, FALSE, FALSE, nullptr); // auto-reset
    HANDLE occupier_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool stopping = false;
    bool present = true;
    bool occupy = false;
    bool occupy_silently = false;
    int ready_delay_ms = 0;
    int handshakes_to_refuse = 0;
    std::pair<int, std::string> handshake_refusal;
    int updates_to_refuse = 0;
    std::pair<int, std::string> update_refusal;
    bool refusing_newer_fields = false;
    // What Discord shows for the client now: the last update it took on this connection.
    std::optional<discord_activity> showing;
    std::string to_send;
    bool close_after_send = false;
    bool reading = true;
    bool flooding = false;

    std::vector<received_frame> frames;
    std::vector<std::string> faults;
    std::vector<DWORD> update_times;
    int connections = 0;
    std::vector<DWORD> connection_times;
    int occupier_connections = 0;
    bool connected = false;
    int pings = 0;
    int pongs = 0;
    // Of the PINGs sent on this connection, those no PONG has answered yet,
    // oldest first, by the hash of their payload. A client may leave out the
    // answer to a PING that a newer one overtook, not answer out of order.
    std::deque<size_t> unanswered_pings;

    std::thread server;
    std::thread occupier;

    ~state()
    {
        CloseHandle(command);
        CloseHandle(occupier_stop);
    }

    void fault(const std::string &text)
    {
        std::lock_guard<std::mutex> hold(lock);
        faults.push_back(text);
    }

    void signal() { SetEvent(command); }

    // Counts a PING with `payload` as sent on this connection; under the lock.
    void note_ping(const std::string &payload)
    {
        ++pings;
        unanswered_pings.push_back(std::hash<std::string>{}(payload));
    }

    void serve_forever();
    void serve(HANDLE pipe);
    void occupy_forever();
    bool hold_silently(HANDLE pipe);
};

namespace {

// One connection's progress through the protocol.
struct session {
    int number;
    std::string pending;
    bool handshake_seen = false;
    bool ready_sent = false;
    std::optional<DWORD> ready_at;
    std::set<std::string> nonces;
    bool closing = false; // the handshake was answered with a CLOSE
    bool over = false;
};

bool write_all(HANDLE pipe, const std::string &bytes)
{
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD written = 0;
    bool ok = WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &overlapped) ||
              GetLastError() == ERROR_IO_PENDING;
    ok = ok && finish(pipe, &overlapped, 2000, &written) && written == bytes.size();
    CloseHandle(overlapped.hEvent);
    return ok;
}

std::string reply(const std::string &nonce, const std::string &data)
{
    return fake_discord_frame(1, R"({"cmd":"SET_ACTIVITY","data":)" + data + R"(,"evt":null,"nonce":")" +
                                     nonce + "\"}");
}

std::string quoted(const std::string &text)
{
    std::string literal;
    json_append_string(literal, text);
    return literal;
}

std::string error_reply(const std::string &nonce, int code, const std::string &message)
{
    return fake_discord_frame(1, R"({"cmd":"SET_ACTIVITY","data":{"code":)" + std::to_string(code) +
                                     R"(,"message":)" + quoted(message) + R"(},"evt":"ERROR","nonce":)" +
                                     quoted(nonce) + "}");
}

std::string close_frame(int code, const std::string &message)
{
    return fake_discord_frame(2, R"({"code":)" + std::to_string(code) + R"(,"message":)" + quoted(message) +
                                     "}");
}

// The `number`th PING of a flood, flood_ping_bytes long.
std::string flood_ping(int number)
{
    std::string payload = R"({"flood":)" + std::to_string(number) + R"(,"pad":")";
    payload.append(flood_ping_bytes - payload.size() - 2, 'x');
    return payload + "\"}";
}

std::string ready_frame()
{
    return fake_discord_frame(
        1,
        std::string(
            R"({"cmd":"DISPATCH","data":{"v":1,"config":{"cdn_host":"cdn.discordapp.com",)"
            R"("api_endpoint":"//discord.com/api","environment":"production"},"user":{"id":"1045800378228281345",)"
            R"("username":")") +
            fake_discord::user_name + R"(","discriminator":"0","avatar":null}},"evt":"READY","nonce":null})");
}

// The members an activity may have, as Discord documents them.
bool known_activity_member(const char *key)
{
    for (const char *known :
         {"type", "name", "state", "details", "timestamps", "assets", "status_display_type", "details_url",
          "state_url", "buttons", "party", "secrets", "instance"}) {
        if (std::strcmp(key, known) == 0) {
            return true;
        }
    }
    return false;
}

// Discord's message for a field of the activity it refuses, naming the field
// inside the group that holds it, if any: "assets" and "large_text" give
// child "activity" fails because [child "assets" fails because [child
// "large_text" fails because ["large_text" <rule>]]].
std::string refusal_message(const char *group, const char *field, const std::string &rule)
{
    std::string message =
        "child \"" + std::string(field) + "\" fails because [\"" + field + "\" " + rule + "]";
    if (group != nullptr) {
        message = "child \"" + std::string(group) + "\" fails because [" + message + "]";
    }
    return "child \"activity\" fails because [" + message + "]";
}

// What Discord counts as a text's characters is not documented (UTF-16 units
// or bytes); the fake counts what makes it the stricter of the two: bytes
// against the most a field takes, code points against the fewest. A text it
// takes is taken by Discord either way.
size_t code_points(const char *utf8)
{
    size_t count = 0;
    for (const char *c = utf8; *c != '\0'; ++c) {
        count += (static_cast<unsigned char>(*c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

bool is_text_within(const json_node *text, size_t fewest, size_t most)
{
    return text->kind == JSON_STRING && code_points(text->string) >= fewest &&
           std::strlen(text->string) <= most;
}

bool is_https_within(const json_node *link, size_t most)
{
    return is_text_within(link, 1, most) && std::strncmp(link->string, "https://", 8) == 0;
}

// The texts of an activity and their lengths; links must be https addresses.
struct text_limit {
    const char *group; // the member that holds the field, or none
    const char *name;
    size_t fewest, most;
    bool link;
};

constexpr text_limit text_limits[] = {
    {nullptr, "name", 1, 128, false},        {nullptr, "details", 2, 128, false},
    {nullptr, "state", 2, 128, false},       {"assets", "large_text", 2, 128, false},
    {"assets", "small_text", 2, 128, false}, {nullptr, "details_url", 1, 256, true},
    {nullptr, "state_url", 1, 256, true},    {"assets", "large_url", 1, 256, true},
    {"assets", "small_url", 1, 256, true},
};

// Buttons: at most two, each a label of 1 to 32 characters and an https
// address of 1 to 512; never together with secrets. "" when Discord takes them.
std::string buttons_refusal(const json_node *activity, const json_node *buttons)
{
    if (buttons->kind != JSON_ARRAY || buttons->length > 2) {
        return refusal_message(nullptr, "buttons", "must be an array of at most 2 buttons");
    }
    if (json_member(activity, "secrets") != nullptr) {
        return refusal_message(nullptr, "buttons", "conflict with forbidden peer \"secrets\"");
    }
    for (const json_node *button = buttons->first; button != nullptr; button = button->next) {
        const json_node *label = json_member(button, "label");
        const json_node *url = json_member(button, "url");
        if (button->kind != JSON_OBJECT || button->length != 2 || label == nullptr || url == nullptr) {
            return refusal_message(nullptr, "buttons", "must hold buttons of a label and a url alone");
        }
        if (!is_text_within(label, 1, 32)) {
            return refusal_message("buttons", "label", "length must be between 1 and 32");
        }
        if (!is_https_within(url, 512)) {
            return refusal_message("buttons", "url", "must be an https URL of at most 512 characters");
        }
    }
    return "";
}

// Why Discord would refuse the activity `node` over the limits it documents
// for its fields; "" when it would take it.
std::string limits_refusal(const json_node *node)
{
    const json_node *type = json_member(node, "type");
    if (type != nullptr && !(type->kind == JSON_INTEGER && (type->integer == 0 || type->integer == 2 ||
                                                            type->integer == 3 || type->integer == 5))) {
        return refusal_message(nullptr, "type", "must be one of [0, 2, 3, 5]");
    }
    const json_node *shown = json_member(node, "status_display_type");
    if (shown != nullptr && !(shown->kind == JSON_INTEGER && shown->integer >= 0 && shown->integer <= 2)) {
        return refusal_message(nullptr, "status_display_type", "must be one of [0, 1, 2]");
    }
    const json_node *assets = json_member(node, "assets");
    for (const text_limit &limit : text_limits) {
        const json_node *text = json_member(limit.group != nullptr ? assets : node, limit.name);
        if (text == nullptr) {
            continue;
        }
        if (limit.link && !is_https_within(text, limit.most)) {
            return refusal_message(limit.group, limit.name,
                                   "must be an https URL of at most " + std::to_string(limit.most) +
                                       " characters");
        }
        if (!limit.link && !is_text_within(text, limit.fewest, limit.most)) {
            return refusal_message(limit.group, limit.name,
                                   "length must be between " + std::to_string(limit.fewest) + " and " +
                                       std::to_string(limit.most));
        }
    }
    for (const char *name : {"large_image", "small_image"}) {
        const json_node *image = json_member(assets, name);
        if (image != nullptr &&
            (!is_text_within(image, 1, 256) || (std::strstr(image->string, "://") != nullptr &&
                                                std::strncmp(image->string, "https://", 8) != 0))) {
            return refusal_message("assets", name,
                                   "must be an asset or an https URL of at most 256 characters");
        }
    }
    const json_node *timestamps = json_member(node, "timestamps");
    const json_node *start = json_member(timestamps, "start");
    const json_node *end = json_member(timestamps, "end");
    if (start != nullptr && !(start->kind == JSON_INTEGER && start->integer >= 1)) {
        return refusal_message("timestamps", "start", "must be larger than or equal to 1");
    }
    if (end != nullptr && !(end->kind == JSON_INTEGER && end->integer > integer_of(start))) {
        return refusal_message("timestamps", "end", "must follow \"timestamps.start\"");
    }
    const json_node *buttons = json_member(node, "buttons");
    return buttons != nullptr ? buttons_refusal(node, buttons) : "";
}

// The fields a Discord from before 2025 does not know, and refuses: what an
// old Discord says about the first the activity `node` holds; "" for none.
std::string newer_fields_refusal(const json_node *node)
{
    for (const char *name : {"name", "buttons", "details_url", "state_url", "status_display_type"}) {
        if (json_member(node, name) != nullptr) {
            return refusal_message(nullptr, name, "is not allowed");
        }
    }
    for (const char *name : {"large_url", "small_url"}) {
        if (json_member(json_member(node, "assets"), name) != nullptr) {
            return refusal_message("assets", name, "is not allowed");
        }
    }
    return "";
}

// The activity's fields as the plug-in's record holds them; an unknown member is a fault.
void read_activity(const json_node *node, discord_activity *activity, std::string *fault)
{
    for (const json_node *child = node->first; child != nullptr; child = child->next) {
        if (!known_activity_member(child->key)) {
            *fault = std::string("unknown activity member ") + child->key;
        }
    }
    activity->type = static_cast<int>(integer_of(json_member(node, "type")));
    activity->name = string_of(json_member(node, "name"));
    const json_node *buttons = json_member(node, "buttons");
    for (const json_node *button = buttons != nullptr ? buttons->first : nullptr; button != nullptr;
         button = button->next) {
        activity->buttons.push_back(
            {string_of(json_member(button, "label")), string_of(json_member(button, "url"))});
    }
    activity->state = string_of(json_member(node, "state"));
    activity->details = string_of(json_member(node, "details"));
    activity->state_url = string_of(json_member(node, "state_url"));
    activity->details_url = string_of(json_member(node, "details_url"));
    activity->start = integer_of(json_member(json_member(node, "timestamps"), "start"));
    activity->end = integer_of(json_member(json_member(node, "timestamps"), "end"));
    const json_node *assets = json_member(node, "assets");
    activity->large_image = string_of(json_member(assets, "large_image"));
    activity->large_text = string_of(json_member(assets, "large_text"));
    activity->large_url = string_of(json_member(assets, "large_url"));
    activity->status_display_type = static_cast<int>(integer_of(json_member(node, "status_display_type")));
}

// What Discord takes as a handshake: version 1 and an application id of digits.
bool is_valid_handshake(const json_node *handshake)
{
    const json_node *version = json_member(handshake, "v");
    const json_node *client_id = json_member(handshake, "client_id");
    return version != nullptr && version->kind == JSON_INTEGER && version->integer == 1 &&
           client_id != nullptr && client_id->kind == JSON_STRING && client_id->string[0] != '\0' &&
           std::strspn(client_id->string, "0123456789") == std::strlen(client_id->string);
}

} // namespace

void fake_discord::state::serve_forever()
{
    for (;;) {
        bool here, first_taken;
        {
            std::lock_guard<std::mutex> hold(lock);
            if (stopping) {
                return;
            }
            here = present;
            first_taken = occupy;
            to_send.clear();
            close_after_send = false;
            flooding = false;
        }
        if (!here) {
            WaitForSingleObject(command, INFINITE);
            continue;
        }
        if (first_taken && !occupier.joinable()) {
            occupier = std::thread([this] { occupy_forever(); });
        }
        HANDLE pipe = CreateNamedPipeW(pipe_name(first_taken ? 1 : 0).c_str(),
                                       PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                       PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                       PIPE_UNLIMITED_INSTANCES, 64 * 1024, input_buffer_bytes, 0, nullptr);
        if (pipe == INVALID_HANDLE_VALUE) {
            fault("cannot create the pipe, error " + std::to_string(GetLastError()));
            return;
        }
        OVERLAPPED overlapped{};
        overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        bool accepted = ConnectNamedPipe(pipe, &overlapped) || GetLastError() == ERROR_PIPE_CONNECTED;
        if (!accepted && GetLastError() == ERROR_IO_PENDING) {
            for (;;) {
                HANDLE handles[] = {command, overlapped.hEvent};
                const DWORD woke = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
                if (woke == WAIT_OBJECT_0 + 1) {
                    DWORD unused;
                    accepted = GetOverlappedResult(pipe, &overlapped, &unused, FALSE) != FALSE;
                    break;
                }
                std::lock_guard<std::mutex> hold(lock);
                if (stopping || !present || occupy != first_taken) {
                    CancelIoEx(pipe, &overlapped);
                    DWORD unused;
                    GetOverlappedResult(pipe, &overlapped, &unused, TRUE);
                    break;
                }
            }
        }
        CloseHandle(overlapped.hEvent);
        if (accepted) {
            serve(pipe);
            FlushFileBuffers(pipe);
            DisconnectNamedPipe(pipe);
        }
        CloseHandle(pipe);
    }
}

void fake_discord::state::serve(HANDLE pipe)
{
    session current;
    {
        std::lock_guard<std::mutex> hold(lock);
        current.number = ++connections;
        connection_times.push_back(GetTickCount());
        unanswered_pings.clear();
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    char buffer[4096];
    bool read_pending = false;

    // Takes in the bytes of one finished read, frame by frame.
    auto take_bytes = [&](DWORD received) {
        current.pending.append(buffer, received);
        while (!current.over && current.pending.size() >= 8) {
            const uint32_t opcode = read_uint32(current.pending, 0);
            const uint32_t length = read_uint32(current.pending, 4);
            if (length > max_client_payload) {
                fault("frame length " + std::to_string(length));
                current.over = true;
                break;
            }
            if (current.pending.size() < 8 + length) {
                break;
            }
            std::string payload = current.pending.substr(8, length);
            current.pending.erase(0, 8 + length);

            received_frame record;
            record.connection = current.number;
            record.opcode = opcode;
            record.json = payload;
            record.arrival_ms = GetTickCount();
            std::string answer;
            if (!current.handshake_seen) {
                json_document document(payload);
                if (opcode != 0) {
                    fault("opcode " + std::to_string(opcode) + " before the handshake");
                } else if (document.root == nullptr || integer_of(json_member(document.root, "v")) != 1 ||
                           string_of(json_member(document.root, "client_id")) !=
                               std::to_string(PLUGIN_CLIENT_ID) ||
                           document.root->length != 2) {
                    fault("handshake " + payload);
                }
                current.handshake_seen = true;
                std::lock_guard<std::mutex> hold(lock);
                if (!is_valid_handshake(document.root)) {
                    answer = close_frame(4000, "Invalid Client ID");
                    current.closing = true;
                } else if (handshakes_to_refuse > 0) {
                    --handshakes_to_refuse;
                    answer = close_frame(handshake_refusal.first, handshake_refusal.second);
                    current.closing = true;
                } else if (ready_delay_ms >= 0) {
                    current.ready_at = GetTickCount() + static_cast<DWORD>(ready_delay_ms);
                }
            } else if (opcode == 0) {
                fault("a second handshake");
            } else if (!current.ready_sent) {
                fault("opcode " + std::to_string(opcode) + " before READY: " + payload);
            } else if (opcode == 1) {
                json_document document(payload);
                const json_node *args = json_member(document.root, "args");
                record.nonce = string_of(json_member(document.root, "nonce"));
                if (string_of(json_member(document.root, "cmd")) != "SET_ACTIVITY" || args == nullptr) {
                    fault("unexpected command " + payload);
                } else {
                    record.set_activity = true;
                    if (record.nonce.empty() || !current.nonces.insert(record.nonce).second) {
                        fault("nonce missing or used before on this connection: " + payload);
                    }
                    const json_node *pid = json_member(args, "pid");
                    if (pid == nullptr || pid->kind != JSON_INTEGER ||
                        pid->integer != static_cast<int64_t>(GetCurrentProcessId())) {
                        fault("pid is not the player's process id: " + payload);
                    }
                    const json_node *activity = json_member(args, "activity");
                    std::string refused;
                    record.clear = activity == nullptr;
                    if (activity != nullptr && activity->kind != JSON_OBJECT) {
                        refused = "child \"activity\" fails because [\"activity\" must be an object]";
                    } else if (activity != nullptr) {
                        refused = limits_refusal(activity);
                        std::string activity_fault;
                        read_activity(activity, &record.activity, &activity_fault);
                        if (!activity_fault.empty()) {
                            fault(activity_fault + ": " + payload);
                        }
                    }
                    if (!refused.empty()) {
                        fault("refused: " + refused + ": " + payload);
                    }
                    std::lock_guard<std::mutex> hold(lock);
                    if (refused.empty() && refusing_newer_fields && activity != nullptr) {
                        refused = newer_fields_refusal(activity);
                    }
                    update_times.push_back(record.arrival_ms);
                    if (update_times.size() > fake_discord_window_updates &&
                        record.arrival_ms -
                                update_times[update_times.size() - 1 - fake_discord_window_updates] <
                            fake_discord_window_ms) {
                        faults.push_back("more than 5 activity updates within 20 s");
                    }
                    // A refused update is dropped whole: what Discord shows stays as it was.
                    record.refused = true;
                    if (!refused.empty()) {
                        answer = error_reply(record.nonce, 4000, refused);
                    } else if (updates_to_refuse > 0) {
                        --updates_to_refuse;
                        answer = error_reply(record.nonce, update_refusal.first, update_refusal.second);
                    } else {
                        record.refused = false;
                        answer = reply(record.nonce, activity != nullptr ? "{}" : "null");
                        showing = record.clear ? std::nullopt : std::optional(record.activity);
                    }
                }
            } else if (opcode == 4) {
                std::lock_guard<std::mutex> hold(lock);
                const auto answered = std::find(unanswered_pings.begin(), unanswered_pings.end(),
                                                std::hash<std::string>{}(payload));
                if (answered != unanswered_pings.end()) {
                    unanswered_pings.erase(unanswered_pings.begin(), answered + 1);
                    ++pongs;
                } else {
                    faults.push_back("PONG that echoes no PING awaiting its answer: " +
                                     payload.substr(0, 100));
                }
            } else if (opcode == 2) {
                current.closing = true; // the client ends the connection
            } else {
                fault("unexpected opcode " + std::to_string(opcode));
            }
            {
                std::lock_guard<std::mutex> hold(lock);
                frames.push_back(record);
            }
            if (!answer.empty() && !write_all(pipe, answer)) {
                current.over = true;
            }
            current.over = current.over || current.closing;
        }
    };

    while (!current.over) {
        bool keep_reading, flood;
        {
            std::lock_guard<std::mutex> hold(lock);
            flood = flooding;
            keep_reading = reading && !flood;
        }
        if (keep_reading && !read_pending) {
            ResetEvent(overlapped.hEvent);
            if (!ReadFile(pipe, buffer, sizeof buffer, nullptr, &overlapped) &&
                GetLastError() != ERROR_IO_PENDING) {
                break; // the client has gone
            }
            read_pending = true;
        }
        DWORD timeout = flood ? 0 : INFINITE;
        if (current.ready_at && !flood) {
            const DWORD now = GetTickCount();
            timeout = static_cast<LONG>(*current.ready_at - now) <= 0 ? 0 : *current.ready_at - now;
        }
        HANDLE handles[] = {command, overlapped.hEvent};
        WaitForMultipleObjects(read_pending ? 2 : 1, handles, FALSE, timeout);

        std::string outgoing;
        bool close_now = false;
        {
            std::lock_guard<std::mutex> hold(lock);
            if (stopping || !present) {
                break;
            }
            flood = flooding;
            keep_reading = reading && !flood;
            outgoing = std::exchange(to_send, std::string());
            close_now = std::exchange(close_after_send, false);
            if (flood) {
                const std::string ping = flood_ping(pings + 1);
                note_ping(ping);
                outgoing += fake_discord_frame(3, ping);
            }
        }
        if (read_pending && !keep_reading) {
            CancelIoEx(pipe, &overlapped);
        }
        if (read_pending && (!keep_reading || WaitForSingleObject(overlapped.hEvent, 0) == WAIT_OBJECT_0)) {
            DWORD received = 0;
            const bool ok = GetOverlappedResult(pipe, &overlapped, &received, TRUE) != FALSE;
            read_pending = false;
            if (!ok && GetLastError() != ERROR_OPERATION_ABORTED) {
                break; // the client closed the pipe
            }
            take_bytes(received);
        }
        if (current.ready_at && static_cast<LONG>(GetTickCount() - *current.ready_at) >= 0) {
            current.ready_at.reset();
            current.ready_sent = true;
            {
                std::lock_guard<std::mutex> hold(lock);
                connected = true;
            }
            current.over = !write_all(pipe, ready_frame());
        }
        if (!outgoing.empty()) {
            current.over = !write_all(pipe, outgoing) || current.over;
        }
        if (close_now) {
            break;
        }
    }
    if (read_pending) {
        CancelIoEx(pipe, &overlapped);
        DWORD unused;
        GetOverlappedResult(pipe, &overlapped, &unused, TRUE);
    }
    CloseHandle(overlapped.hEvent);
    std::lock_guard<std::mutex> hold(lock);
    connected = false;
    showing.reset(); // Discord clears the activity when the pipe closes
}

// discord-ipc-0, taken by something that accepts a connection and closes it
// at once or, silent, holds it without a word until the client leaves.
void fake_discord::state::occupy_forever()
{
    for (;;) {
        HANDLE pipe =
            CreateNamedPipeW(pipe_name(0).c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                             PIPE_TYPE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
        OVERLAPPED overlapped{};
        overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        bool stop = false;
        if (!ConnectNamedPipe(pipe, &overlapped) && GetLastError() == ERROR_IO_PENDING) {
            HANDLE handles[] = {occupier_stop, overlapped.hEvent};
            if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0) {
                CancelIoEx(pipe, &overlapped);
                DWORD unused;
                GetOverlappedResult(pipe, &overlapped, &unused, TRUE);
                stop = true;
            }
        }
        CloseHandle(overlapped.hEvent);
        if (!stop) {
            bool silent;
            {
                std::lock_guard<std::mutex> hold(lock);
                ++occupier_connections;
                silent = occupy_silently;
            }
            stop = silent && !hold_silently(pipe);
            DisconnectNamedPipe(pipe);
        }
        CloseHandle(pipe);
        if (stop) {
            return;
        }
    }
}

// Reads and drops what the client sends until it closes the pipe (true) or
// the fake stops (false).
bool fake_discord::state::hold_silently(HANDLE pipe)
{
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    char buffer[4096];
    bool client_left = false;
    while (!client_left) {
        ResetEvent(overlapped.hEvent);
        if (!ReadFile(pipe, buffer, sizeof buffer, nullptr, &overlapped) &&
            GetLastError() != ERROR_IO_PENDING) {
            client_left = true;
            break;
        }
        HANDLE handles[] = {occupier_stop, overlapped.hEvent};
        const bool stop = WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0;
        if (stop) {
            CancelIoEx(pipe, &overlapped);
        }
        DWORD unused;
        client_left = !GetOverlappedResult(pipe, &overlapped, &unused, TRUE) && !stop;
        if (stop) {
            break;
        }
    }
    CloseHandle(overlapped.hEvent);
    return client_left;
}

fake_discord::fake_discord() : state_(std::make_shared<state>())
{
    state_->server = std::thread([state = state_] { state->serve_forever(); });
}

fake_discord::~fake_discord()
{
    {
        std::lock_guard<std::mutex> hold(state_->lock);
        state_->stopping = true;
    }
    state_->signal();
    SetEvent(state_->occupier_stop);
    state_->server.join();
    if (state_->occupier.joinable()) {
        state_->occupier.join();
    }
}

void fake_discord::go_away()
{
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->present = false;
    state_->signal();
}

void fake_discord::come_back()
{
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->present = true;
    state_->signal();
}

void fake_discord::occupy_first_pipe(bool silent)
{
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->occupy = true;
    state_->occupy_silently = silent;
    state_->signal();
}

void fake_discord::set_ready_delay(int milliseconds)
{
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->ready_delay_ms = milliseconds;
}

void fake_discord::refuse_handshakes(int count, int code, const std::string &message)
{
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->handshakes_to_refuse = count;
    state_->handshake_refusal = std::make_pair(code, message);
}

void fake_discord::refuse_next_updates(int count, int code, const std::string &message)
{
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->updates_to_refuse = count;
    state_->update_refusal = std::make_pair(code, message);
}

void fake_discord::refuse_newer_fields(bool refusing)
{
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->refusing_newer_fields = refusing;
}

void fake_discord::send_ping(const std::string &payload)
{
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->note_ping(payload);
    state_->to_send += fake_discord_frame(3, payload);
    state_->signal();
}

void fake_discord::send_close(int code, const std::string &message)
{
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->to_send += close_frame(code, message);
    state_->close_after_send = true;
    state_->signal();
}

void fake_discord::send_raw(const std::string &bytes)
{
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->to_send += bytes;
    state_->signal();
}

void fake_discord::flood_pings()
{
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->flooding = true;
    state_->signal();
}

void fake_discord::set_reading(bool reading)
{
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->reading = reading;
    state_->signal();
}

std::vector<received_frame> fake_discord::frames() const
{
    std::lock_guard<std::mutex> hold(state_->lock);
    return state_->frames;
}

std::vector<received_frame> fake_discord::updates() const
{
    std::vector<received_frame> updates;
    for (const received_frame &frame : frames()) {
        if (frame.set_activity) {
            updates.push_back(frame);
        }
    }
    return updates;
}

std::optional<discord_activity> fake_discord::showing() const
{
    std::lock_guard<std::mutex> hold(state_->lock);
    return state_->showing;
}

std::vector<std::string> fake_discord::faults() const
{
    std::lock_guard<std::mutex> hold(state_->lock);
    return state_->faults;
}

int fake_discord::connections() const
{
    std::lock_guard<std::mutex> hold(state_->lock);
    return state_->connections;
}

bool fake_discord::connected() const
{
    std::lock_guard<std::mutex> hold(state_->lock);
    return state_->connected;
}

std::vector<DWORD> fake_discord::connection_times() const
{
    std::lock_guard<std::mutex> hold(state_->lock);
    return state_->connection_times;
}

int fake_discord::first_pipe_connections() const
{
    std::lock_guard<std::mutex> hold(state_->lock);
    return state_->occupier_connections;
}

int fake_discord::pings() const
{
    std::lock_guard<std::mutex> hold(state_->lock);
    return state_->pings;
}

int fake_discord::pongs() const
{
    std::lock_guard<std::mutex> hold(state_->lock);
    return state_->pongs;
}
