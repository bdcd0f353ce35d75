// Outbox: the newest activity goes out at once within the window and as soon
// as the window allows beyond it, an unchanged one never, a refused one once
// more without the newer fields, which stay off for the connection.
#include "discord/outbox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

discord_activity track(int number)
{
    discord_activity activity;
    activity.state = "Track " + std::to_string(number) + " (Playing)";
    return activity;
}

// Sends whatever is due at `now`; returns the state line sent ("clear" for a clear), or "".
std::string send_due(outbox *box, int64_t now)
{
    const auto update = outbox_take(box, now);
    if (!update) {
        return "";
    }
    return *update ? (*update)->state : "clear";
}

TEST(outbox, sends_at_once_within_the_window_and_the_newest_when_it_opens)
{
    outbox box;
    EXPECT_FALSE(outbox_next_time(box, 0)) << "nothing wanted, nothing shown";
    for (int i = 1; i <= 5; ++i) {
        outbox_want(&box, track(i));
        EXPECT_EQ(outbox_next_time(box, i * 100), i * 100);
        EXPECT_EQ(send_due(&box, i * 100), track(i).state);
    }
    for (int i = 6; i <= 20; ++i) {
        outbox_want(&box, track(i));
        EXPECT_EQ(send_due(&box, 500 + i * 10), "");
    }
    EXPECT_EQ(outbox_next_time(box, 700), 100 + outbox_window_ms)
        << "when the first update leaves the window";
    EXPECT_EQ(send_due(&box, 100 + outbox_window_ms - 1), "");
    EXPECT_EQ(send_due(&box, 100 + outbox_window_ms), track(20).state) << "the newest, the others dropped";
    EXPECT_FALSE(outbox_next_time(box, 100 + outbox_window_ms));
    outbox_want(&box, track(21));
    EXPECT_EQ(outbox_next_time(box, 100 + outbox_window_ms), 200 + outbox_window_ms);
}

TEST(outbox, never_sends_an_update_equal_to_the_one_sent_last)
{
    outbox box;
    outbox_want(&box, track(1));
    EXPECT_EQ(send_due(&box, 0), track(1).state);
    outbox_want(&box, track(1));
    EXPECT_EQ(send_due(&box, 10), "");
    // Changed and changed back before it could go out: nothing to send.
    for (int i = 2; i <= 5; ++i) {
        outbox_want(&box, track(i));
        EXPECT_EQ(send_due(&box, i * 10), track(i).state);
    }
    outbox_want(&box, track(6));
    outbox_want(&box, track(5));
    EXPECT_FALSE(outbox_next_time(box, 100));
}

TEST(outbox, a_new_connection_gets_the_wanted_activity_and_no_clear)
{
    outbox box;
    outbox_want(&box, track(1));
    EXPECT_EQ(send_due(&box, 0), track(1).state);
    outbox_connected(&box);
    EXPECT_EQ(send_due(&box, 10), track(1).state);

    outbox_want(&box, std::nullopt);
    EXPECT_EQ(send_due(&box, 20), "clear");
    outbox_connected(&box);
    EXPECT_FALSE(outbox_next_time(box, 30)) << "a new connection shows nothing already";
}

// A card with every field an older Discord may refuse.
discord_activity linked_track(int number)
{
    discord_activity activity = track(number);
    activity.details = "The Band - First Album";
    activity.details_url = "https://www.deezer.com/artist/27";
    activity.state_url = "https://www.deezer.com/track/" + std::to_string(number);
    activity.large_image = "winamp-logo";
    activity.large_url = "https://www.deezer.com/album/302127";
    activity.status_display_type = 1;
    activity.name = "The Band";
    activity.buttons = {{"Listen at Deezer", "https://www.deezer.com/track/3135556"}};
    return activity;
}

TEST(outbox, without_newer_fields_keeps_the_card_and_drops_its_header_links_buttons_and_member_list_choice)
{
    discord_activity expected = track(1);
    expected.details = "The Band - First Album";
    expected.large_image = "winamp-logo";
    EXPECT_EQ(without_newer_fields(linked_track(1)), expected);
}

TEST(outbox, a_refused_update_goes_out_once_more_at_once_without_the_newer_fields)
{
    outbox box;
    outbox_want(&box, linked_track(1));
    EXPECT_EQ(outbox_take(&box, 0), shown_activity(linked_track(1)));
    outbox_refused(&box);
    EXPECT_EQ(outbox_next_time(box, 10), 10) << "at once";
    EXPECT_EQ(outbox_take(&box, 10), shown_activity(without_newer_fields(linked_track(1))));
    outbox_refused(&box);
    EXPECT_FALSE(outbox_next_time(box, 20)) << "a refused second attempt waits for the next change";

    outbox_want(&box, linked_track(2));
    EXPECT_EQ(outbox_take(&box, 30), shown_activity(without_newer_fields(linked_track(2))))
        << "the newer fields stay off for the connection";
    outbox_refused(&box);
    EXPECT_EQ(outbox_take(&box, 40), shown_activity(without_newer_fields(linked_track(2))))
        << "a changed card refused goes out once more";
    outbox_want(&box, std::nullopt);
    EXPECT_EQ(outbox_take(&box, 50), std::make_optional<shown_activity>()) << "a clear";

    outbox_want(&box, linked_track(3));
    outbox_connected(&box);
    EXPECT_EQ(outbox_take(&box, outbox_window_ms), shown_activity(linked_track(3)))
        << "a new connection: every field again, within the window";
}

TEST(outbox, a_second_attempt_waits_for_the_window_too)
{
    outbox box;
    for (int i = 1; i <= 5; ++i) {
        outbox_want(&box, track(i));
        send_due(&box, i);
    }
    outbox_refused(&box);
    EXPECT_EQ(outbox_next_time(box, 20), 1 + outbox_window_ms);
    EXPECT_EQ(send_due(&box, 1 + outbox_window_ms), track(5).state);
}

} // namespace
