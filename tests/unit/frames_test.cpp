// Frame codec: the header's bytes, frames cut from a stream however it is
// split, the protocol errors, the payloads the plug-in sends (the activity
// compared with what the Game SDK sent) and the replies it reads.
#include "discord/frames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

TEST(frames, the_header_is_the_opcode_and_the_length_little_endian)
{
    EXPECT_EQ(frame_encode(FRAME_PONG, "{}"), "\x04\x00\x00\x00\x02\x00\x00\x00{}"s);
    EXPECT_EQ(frame_encode(FRAME_FRAME, std::string(0x10203, 'x')).substr(0, 8),
              "\x01\x00\x00\x00\x03\x02\x01\x00"s);
}

TEST(frames, the_reader_yields_whole_frames_however_the_bytes_are_split)
{
    const std::string stream = frame_encode(FRAME_FRAME, R"({"a":1})") + frame_encode(FRAME_PING, "") +
                               frame_encode(FRAME_CLOSE, R"({"code":4000})");
    for (size_t piece = 1; piece <= stream.size(); ++piece) {
        frame_reader reader;
        std::vector<frame> frames;
        for (size_t at = 0; at < stream.size(); at += piece) {
            reader.feed(std::string_view(stream).substr(at, piece));
            while (auto whole = reader.next()) {
                frames.push_back(*whole);
            }
        }
        ASSERT_EQ(frames.size(), 3u) << piece;
        EXPECT_EQ(frames[0].opcode, FRAME_FRAME);
        EXPECT_EQ(frames[0].payload, R"({"a":1})");
        EXPECT_EQ(frames[1].opcode, FRAME_PING);
        EXPECT_EQ(frames[1].payload, "");
        EXPECT_EQ(frames[2].payload, R"({"code":4000})");
        EXPECT_FALSE(reader.failed());
    }
}

TEST(frames, an_unknown_opcode_or_a_length_beyond_64_KiB_is_a_protocol_error)
{
    const struct {
        const char *what;
        std::string bytes;
        bool failed;
    } cases[] = {
        {"opcode 5", "\x05\x00\x00\x00\x00\x00\x00\x00"s, true},
        {"opcode beyond 16 bits", "\x01\x00\x01\x00\x00\x00\x00\x00"s, true},
        {"length 64 KiB + 1", "\x01\x00\x00\x00\x01\x00\x01\x00"s, true},
        {"length 4 GiB - 1", "\x01\x00\x00\x00\xff\xff\xff\xff"s, true},
        {"length 64 KiB, waiting for it", "\x01\x00\x00\x00\x00\x00\x01\x00"s, false},
        {"half a header", "\x01\x00\x00"s, false},
    };
    for (const auto &test : cases) {
        frame_reader reader;
        reader.feed(test.bytes);
        EXPECT_FALSE(reader.next()) << test.what;
        EXPECT_EQ(reader.failed(), test.failed) << test.what;
        reader.feed(frame_encode(FRAME_PING, ""));
        if (test.failed) {
            EXPECT_FALSE(reader.next()) << "nothing after an error: " << test.what;
        }
    }
}

TEST(frames, the_handshake_is_version_1_and_the_client_id_as_a_string)
{
    EXPECT_EQ(handshake_payload("872519034120634388"), R"({"v":1,"client_id":"872519034120634388"})");
}

discord_activity blue_playing()
{
    discord_activity activity;
    activity.state = "Blue (Playing)";
    activity.details = "The Band - First Album";
    activity.start = 1700000001;
    activity.large_image = "winamp-logo";
    return activity;
}

// The Game SDK 2.5.6 sent, for this record:
// {"cmd":"SET_ACTIVITY","nonce":"9","evt":null,"args":{"pid":228,"activity":{"state":"Blue (Playing)",
//  "details":"The Band - First
//  Album","timestamps":{"start":1700000001},"assets":{"large_image":"winamp-logo"},
//  "party":{},"secrets":{},"instance":false}}}
TEST(frames, set_activity_carries_the_members_and_values_the_game_sdk_sent)
{
    const discord_activity activity = blue_playing();
    EXPECT_EQ(set_activity_payload(228, "9", &activity),
              R"j({"cmd":"SET_ACTIVITY","nonce":"9","args":{"pid":228,"activity":{"state":"Blue (Playing)",)j"
              R"j("details":"The Band - First Album","timestamps":{"start":1700000001},)j"
              R"j("assets":{"large_image":"winamp-logo"}}}})j");
}

TEST(frames, empty_strings_and_zero_numbers_are_left_out_and_every_field_has_its_place)
{
    discord_activity idle;
    idle.state = "(Idle)";
    idle.large_image = "winamp-logo";
    EXPECT_EQ(set_activity_payload(7, "1", &idle),
              R"j({"cmd":"SET_ACTIVITY","nonce":"1","args":{"pid":7,"activity":{"state":"(Idle)",)j"
              R"j("assets":{"large_image":"winamp-logo"}}}})j");

    EXPECT_EQ(set_activity_payload(7, "2", nullptr),
              R"j({"cmd":"SET_ACTIVITY","nonce":"2","args":{"pid":7}})j");

    discord_activity empty;
    EXPECT_EQ(set_activity_payload(7, "3", &empty),
              R"j({"cmd":"SET_ACTIVITY","nonce":"3","args":{"pid":7,"activity":{}}})j");

    discord_activity full = blue_playing();
    full.type = 2;
    full.end = 1700000200;
    full.large_text = "First \"Album\"";
    full.large_url = "https://www.deezer.com/album/302127";
    full.state_url = "https://www.deezer.com/track/3135556";
    full.details_url = "https://www.deezer.com/artist/27";
    full.status_display_type = 1;
    EXPECT_EQ(
        set_activity_payload(7, "4", &full),
        R"j({"cmd":"SET_ACTIVITY","nonce":"4","args":{"pid":7,"activity":{"type":2,)j"
        R"j("state":"Blue (Playing)","details":"The Band - First Album",)j"
        R"j("state_url":"https://www.deezer.com/track/3135556","details_url":"https://www.deezer.com/artist/27",)j"
        R"j("timestamps":{"start":1700000001,"end":1700000200},"assets":{"large_image":"winamp-logo",)j"
        R"j("large_text":"First \"Album\"","large_url":"https://www.deezer.com/album/302127"},)j"
        R"j("status_display_type":1}}})j");

    discord_activity named = blue_playing();
    named.name = "The Band";
    named.buttons = {{"Track page", "https://www.deezer.com/track/3135556"},
                     {"Mine", "https://example.org/?q=a%20b"}};
    EXPECT_EQ(set_activity_payload(7, "5", &named),
              R"j({"cmd":"SET_ACTIVITY","nonce":"5","args":{"pid":7,"activity":{"name":"The Band",)j"
              R"j("state":"Blue (Playing)","details":"The Band - First Album",)j"
              R"j("timestamps":{"start":1700000001},"assets":{"large_image":"winamp-logo"},)j"
              R"j("buttons":[{"label":"Track page","url":"https://www.deezer.com/track/3135556"},)j"
              R"j({"label":"Mine","url":"https://example.org/?q=a%20b"}]}}})j");
}

TEST(frames, replies_read_as_ready_error_command_done_or_other)
{
    const struct {
        const char *what;
        std::string payload;
        reply_kind kind;
        std::string nonce, user_name, message;
        int64_t code;
    } cases[] = {
        {"READY",
         R"({"cmd":"DISPATCH","data":{"v":1,"config":{"cdn_host":"cdn.discordapp.com","api_endpoint":"//discord.com/api",)"
         R"("environment":"production"},"user":{"id":"1","username":"corvane","discriminator":"0","avatar":null}},)"
         R"("evt":"READY","nonce":null})",
         reply_kind::ready, "", "corvane", "", 0},
        {"ERROR",
         R"({"cmd":"SET_ACTIVITY","data":{"code":4000,"message":"child \"activity\" fails"},"evt":"ERROR","nonce":"3"})",
         reply_kind::error, "3", "", "child \"activity\" fails", 4000},
        {"reply", R"({"cmd":"SET_ACTIVITY","data":{},"evt":null,"nonce":"4"})", reply_kind::command_done, "4",
         "", "", 0},
        {"other dispatch", R"({"cmd":"DISPATCH","evt":"ACTIVITY_JOIN","data":{}})", reply_kind::other, "", "",
         "", 0},
        {"READY without a user", R"({"cmd":"DISPATCH","evt":"READY"})", reply_kind::ready, "", "", "", 0},
    };
    for (const auto &test : cases) {
        const auto reply = read_reply(test.payload);
        ASSERT_TRUE(reply) << test.what;
        EXPECT_EQ(reply->kind, test.kind) << test.what;
        EXPECT_EQ(reply->nonce, test.nonce) << test.what;
        EXPECT_EQ(reply->user_name, test.user_name) << test.what;
        EXPECT_EQ(reply->refusal.code, test.code) << test.what;
        EXPECT_EQ(reply->refusal.message, test.message) << test.what;
    }
}

TEST(frames, a_payload_that_is_no_json_object_is_no_reply)
{
    testing::internal::CaptureStderr();
    for (const char *payload : {"", "not json", "[1,2]", "\"text\"", "{\"cmd\":"}) {
        EXPECT_FALSE(read_reply(payload)) << payload;
    }
    testing::internal::GetCapturedStderr();
}

TEST(frames, close_gives_its_code_and_message)
{
    const discord_refusal reason = read_close(R"({"code":4000,"message":"Invalid Client ID"})");
    EXPECT_EQ(reason.code, 4000);
    EXPECT_EQ(reason.message, "Invalid Client ID");
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_close("garbage").code, 0);
    testing::internal::GetCapturedStderr();
}

} // namespace
