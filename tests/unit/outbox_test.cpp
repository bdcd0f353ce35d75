// Outbox: the newest activity goes out at once within the window and as soon
// as the window allows beyond it, an unchanged one never, a refused one once
// more after a delay.
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

TEST(outbox, a_refused_update_goes_out_once_more_after_a_delay)
{
    outbox box;
    outbox_want(&box, track(1));
    EXPECT_EQ(send_due(&box, 0), track(1).state);
    outbox_refused(&box, 50);
    EXPECT_EQ(outbox_next_time(box, 60), 50 + outbox_retry_ms);
    EXPECT_EQ(send_due(&box, 49 + outbox_retry_ms), "");
    EXPECT_EQ(send_due(&box, 50 + outbox_retry_ms), track(1).state);
    outbox_refused(&box, 100 + outbox_retry_ms);
    EXPECT_FALSE(outbox_next_time(box, 200 + outbox_retry_ms)) << "a refused retry waits for the next change";

    outbox_want(&box, track(2));
    EXPECT_EQ(send_due(&box, 300 + outbox_retry_ms), track(2).state);
    outbox_refused(&box, 400 + outbox_retry_ms);
    outbox_want(&box, track(3));
    EXPECT_EQ(send_due(&box, 500 + outbox_retry_ms), track(3).state) << "the next change goes out at once";
    EXPECT_FALSE(outbox_next_time(box, 600 + outbox_retry_ms * 3));
}

TEST(outbox, a_retry_waits_for_the_window_too)
{
    outbox box;
    for (int i = 1; i <= 5; ++i) {
        outbox_want(&box, track(i));
        send_due(&box, i);
    }
    outbox_refused(&box, 10);
    EXPECT_EQ(outbox_next_time(box, 20), 1 + outbox_window_ms);
}

} // namespace
