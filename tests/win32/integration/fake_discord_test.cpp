// The fake Discord itself, driven through its pipe by a bare client: it
// refuses what Discord refuses, so that the plug-in's tests hold it to
// Discord's rules. A handshake without version 1 or an application id of
// digits gets CLOSE 4000 and the pipe closed; an activity with a field
// outside Discord's limits gets ERROR 4000 naming the field and is dropped
// (and counts as the client's fault); an old Discord refuses the fields added
// since 2025 without a fault; a CLOSE from the client ends the connection.
#include "fake_discord.h"
#include "rig.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

namespace {

// A client of the fake's pipe with blocking reads and writes.
class bare_client {
  public:
    bare_client()
    {
        // The fake's thread makes its pipe soon after it starts: wait for it (10 s at most).
        for (int tries = 0; tries < 1000 && pipe_ == INVALID_HANDLE_VALUE; ++tries) {
            if (tries > 0) {
                Sleep(10);
            }
            pipe_ = CreateFileW(L"\\\\.\\pipe\\discord-ipc-0", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
        }
    }
    ~bare_client() { CloseHandle(pipe_); }
    bare_client(const bare_client &) = delete;
    bare_client &operator=(const bare_client &) = delete;

    bool open() const { return pipe_ != INVALID_HANDLE_VALUE; }

    void send(uint32_t opcode, const std::string &payload)
    {
        const std::string bytes = fake_discord_frame(opcode, payload);
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(pipe_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    }

    // The next frame's opcode and payload; nothing once the pipe is closed.
    std::optional<std::pair<uint32_t, std::string>> receive()
    {
        std::string header(8, '\0');
        if (!read_exactly(header)) {
            return std::nullopt;
        }
        const auto word = [&](size_t at) {
            uint32_t value = 0;
            for (int i = 3; i >= 0; --i) {
                value = (value << 8) | static_cast<unsigned char>(header[at + i]);
            }
            return value;
        };
        std::string payload(word(4), '\0');
        if (!read_exactly(payload)) {
            return std::nullopt;
        }
        return std::make_pair(word(0), payload);
    }

    // Shakes hands as the plug-in does; true once READY came.
    bool connect()
    {
        send(0, R"({"v":1,"client_id":")" + std::to_string(PLUGIN_CLIENT_ID) + "\"}");
        const auto ready = receive();
        return ready && ready->second.find(R"("evt":"READY")") != std::string::npos;
    }

    // Sends SET_ACTIVITY with `activity` (JSON) and returns Discord's reply.
    std::string set_activity(const std::string &activity)
    {
        send(1, R"({"cmd":"SET_ACTIVITY","nonce":")" + std::to_string(++nonces_) + R"(","args":{"pid":)" +
                    std::to_string(GetCurrentProcessId()) + R"(,"activity":)" + activity + "}}");
        const auto reply = receive();
        return reply ? reply->second : "";
    }

  private:
    bool read_exactly(std::string &bytes)
    {
        for (size_t at = 0; at < bytes.size();) {
            DWORD got = 0;
            if (!ReadFile(pipe_, bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &got, nullptr) ||
                got == 0) {
                return false;
            }
            at += got;
        }
        return true;
    }

    HANDLE pipe_ = INVALID_HANDLE_VALUE;
    int nonces_ = 0;
};

// A reply is a refusal of `field`: ERROR 4000 with a message naming it.
bool refuses(const std::string &reply, const std::string &field)
{
    return reply.find(R"("evt":"ERROR")") != std::string::npos &&
           reply.find(R"("code":4000)") != std::string::npos &&
           reply.find("child \\\"" + field + "\\\" fails because") != std::string::npos;
}

class fake_discord_rules : public ::testing::Test {
  protected:
    fake_discord discord;
};

struct handshake_case {
    const char *what;
    std::string payload;
};

class refused_handshakes : public fake_discord_rules, public testing::WithParamInterface<handshake_case> {};

TEST_P(refused_handshakes, get_close_4000_and_the_pipe_closed)
{
    bare_client client;
    ASSERT_TRUE(client.open());
    client.send(0, GetParam().payload);
    const auto close = client.receive();
    ASSERT_TRUE(close);
    EXPECT_EQ(close->first, 2u);
    EXPECT_EQ(close->second, R"({"code":4000,"message":"Invalid Client ID"})");
    EXPECT_FALSE(client.receive()) << "the pipe is closed";
    EXPECT_EQ(discord.faults().size(), 1u) << "a wrong handshake is the client's fault";
}

const std::string client_id = std::to_string(PLUGIN_CLIENT_ID);

INSTANTIATE_TEST_SUITE_P(
    fake_discord, refused_handshakes,
    testing::Values(handshake_case{"version 2", R"({"v":2,"client_id":")" + client_id + "\"}"},
                    handshake_case{"no version", R"({"client_id":")" + client_id + "\"}"},
                    handshake_case{"version as text", R"({"v":"1","client_id":")" + client_id + "\"}"},
                    handshake_case{"no client id", R"({"v":1})"},
                    handshake_case{"client id of letters", R"({"v":1,"client_id":"winamp"})"},
                    handshake_case{"client id empty", R"({"v":1,"client_id":""})"},
                    handshake_case{"client id as a number", R"({"v":1,"client_id":)" + client_id + "}"}),
    [](const auto &info) { return readable_test_name(info.param.what); });

struct activity_case {
    const char *what;
    std::string activity;
    std::string field; // the field the refusal names
};

class refused_activities : public fake_discord_rules, public testing::WithParamInterface<activity_case> {};

TEST_P(refused_activities, get_error_4000_naming_the_field_and_are_dropped)
{
    bare_client client;
    ASSERT_TRUE(client.open());
    ASSERT_TRUE(client.connect());
    ASSERT_NE(client.set_activity(R"j({"state":"Blue (Playing)"})j").find(R"("evt":null)"),
              std::string::npos);
    const std::string reply = client.set_activity(GetParam().activity);
    EXPECT_TRUE(refuses(reply, GetParam().field)) << reply;
    ASSERT_TRUE(discord.showing());
    EXPECT_EQ(discord.showing()->state, "Blue (Playing)") << "what Discord showed stays";
    ASSERT_EQ(discord.faults().size(), 1u) << "an activity out of Discord's limits is the client's fault";
    EXPECT_NE(discord.faults()[0].find(GetParam().field), std::string::npos);
    EXPECT_TRUE(discord.updates().back().refused);
}

const std::string long_link = "https://example.com/" + std::string(237, 'x'); // 257 bytes
const std::string accented_129 = "A" + [] {
    std::string text;
    for (int i = 0; i < 64; ++i) {
        text += "\xC3\xA9"; // é: one UTF-16 unit, two bytes
    }
    return text;
}();
const std::string button = R"({"label":"Listen","url":"https://www.deezer.com/track/3135556"})";

INSTANTIATE_TEST_SUITE_P(
    fake_discord, refused_activities,
    testing::Values(
        activity_case{"type 1", R"({"type":1,"state":"Blue"})", "type"},
        activity_case{"type 4", R"({"type":4,"state":"Blue"})", "type"},
        activity_case{"details of one character", R"({"details":"A"})", "details"},
        activity_case{"state of 129 characters", R"({"state":")" + std::string(129, 'a') + "\"}", "state"},
        activity_case{"state of 129 bytes in 65 characters", R"({"state":")" + accented_129 + "\"}", "state"},
        activity_case{"state of one emoji", "{\"state\":\"\xF0\x9F\x8E\xB5\"}", "state"},
        activity_case{"state as a number", R"({"state":42})", "state"},
        activity_case{"empty name", R"({"name":""})", "name"},
        activity_case{"name of 129 characters", R"({"name":")" + std::string(129, 'n') + "\"}", "name"},
        activity_case{"hover text of one character", R"({"assets":{"large_text":"A"}})", "large_text"},
        activity_case{"small hover text of 129 characters",
                      R"({"assets":{"small_text":")" + std::string(129, 's') + "\"}}", "small_text"},
        activity_case{"a link over http", R"({"details":"Blue","details_url":"http://example.com/"})",
                      "details_url"},
        activity_case{"a link of 257 characters", R"({"details":"Blue","state_url":")" + long_link + "\"}",
                      "state_url"},
        activity_case{"an image link of 257 characters", R"({"assets":{"large_url":")" + long_link + "\"}}",
                      "large_url"},
        activity_case{"a small image link over http", R"({"assets":{"small_url":"http://example.com/"}})",
                      "small_url"},
        activity_case{"an image address of 257 characters",
                      R"({"assets":{"large_image":")" + long_link + "\"}}", "large_image"},
        activity_case{"an image address over http",
                      R"({"assets":{"large_image":"http://example.com/a.jpg"}})", "large_image"},
        activity_case{"three buttons", R"({"buttons":[)" + button + "," + button + "," + button + "]}",
                      "buttons"},
        activity_case{"buttons with secrets", R"({"buttons":[)" + button + R"(],"secrets":{"join":"x"}})",
                      "buttons"},
        activity_case{"a button label of 33 characters",
                      R"({"buttons":[{"label":")" + std::string(33, 'l') +
                          R"(","url":"https://example.com/"}]})",
                      "label"},
        activity_case{"an empty button label", R"({"buttons":[{"label":"","url":"https://example.com/"}]})",
                      "label"},
        activity_case{"a button address of 513 characters",
                      R"({"buttons":[{"label":"Listen","url":"https://example.com/)" + std::string(493, 'u') +
                          "\"}]}",
                      "url"},
        activity_case{"a button address over http",
                      R"({"buttons":[{"label":"Listen","url":"http://example.com/"}]})", "url"},
        activity_case{"a start of 0", R"({"timestamps":{"start":0}})", "start"},
        activity_case{"an end before the start", R"({"timestamps":{"start":100,"end":50}})", "end"},
        activity_case{"member list choice 3", R"({"status_display_type":3})", "status_display_type"}),
    [](const auto &info) { return readable_test_name(info.param.what); });

// Every field at the edge of its limits: Discord takes it.
TEST_F(fake_discord_rules, takes_an_activity_with_every_field_at_its_limits)
{
    bare_client client;
    ASSERT_TRUE(client.open());
    ASSERT_TRUE(client.connect());
    const std::string link = "https://example.com/" + std::string(236, 'x'); // 256 bytes
    const std::string reply = client.set_activity(
        R"({"type":2,"name":"W","details":"AB","state":")" + std::string(128, 's') + R"(","details_url":")" +
        link + R"(","state_url":")" + link +
        R"(","timestamps":{"start":1,"end":2},"assets":{"large_image":")" + link + R"(","large_text":")" +
        accented_129.substr(1) + R"(","large_url":")" + link +
        R"(","small_image":"winamp-logo","small_text":"ab","small_url":")" + link +
        R"("},"status_display_type":2,"buttons":[{"label":")" + std::string(32, 'l') +
        R"(","url":"https://example.com/)" + std::string(492, 'u') + R"("},)" + button + "]}");
    EXPECT_NE(reply.find(R"("evt":null)"), std::string::npos) << reply;
    EXPECT_TRUE(discord.faults().empty());
    ASSERT_TRUE(discord.showing());
    EXPECT_EQ(discord.showing()->details, "AB");
}

class newer_fields : public fake_discord_rules, public testing::WithParamInterface<activity_case> {};

// An old Discord refuses each field added since 2025 (not the client's
// fault), and takes the card without them.
TEST_P(newer_fields, are_refused_by_an_old_discord_without_a_fault)
{
    discord.refuse_newer_fields(true);
    bare_client client;
    ASSERT_TRUE(client.open());
    ASSERT_TRUE(client.connect());
    const std::string reply = client.set_activity(GetParam().activity);
    EXPECT_TRUE(refuses(reply, GetParam().field)) << reply;
    EXPECT_FALSE(discord.showing());
    EXPECT_NE(client.set_activity(R"({"details":"Blue","assets":{"large_image":"winamp-logo"}})")
                  .find(R"("evt":null)"),
              std::string::npos);
    EXPECT_TRUE(discord.showing());
    EXPECT_TRUE(discord.faults().empty());
}

INSTANTIATE_TEST_SUITE_P(
    fake_discord, newer_fields,
    testing::Values(
        activity_case{"name", R"({"details":"Blue","name":"Winamp"})", "name"},
        activity_case{"buttons", R"({"details":"Blue","buttons":[)" + button + "]}", "buttons"},
        activity_case{"details_url", R"({"details":"Blue","details_url":"https://example.com/"})",
                      "details_url"},
        activity_case{"state_url", R"({"details":"Blue","state_url":"https://example.com/"})", "state_url"},
        activity_case{"large_url", R"({"details":"Blue","assets":{"large_url":"https://example.com/"}})",
                      "large_url"},
        activity_case{"small_url", R"({"details":"Blue","assets":{"small_url":"https://example.com/"}})",
                      "small_url"},
        activity_case{"status_display_type", R"({"details":"Blue","status_display_type":1})",
                      "status_display_type"}),
    [](const auto &info) { return readable_test_name(info.param.what); });

TEST_F(fake_discord_rules, a_close_from_the_client_ends_the_connection)
{
    bare_client client;
    ASSERT_TRUE(client.open());
    ASSERT_TRUE(client.connect());
    client.set_activity(R"j({"state":"Blue (Playing)"})j");
    client.send(2, R"({"code":1000,"message":"bye"})");
    EXPECT_FALSE(client.receive()) << "the pipe is closed";
    EXPECT_FALSE(discord.showing());
    EXPECT_TRUE(discord.faults().empty());
}

} // namespace
