// Outbox: which update is due, and the sliding window that spaces them.
#include "discord/outbox.h"

#include <utility>

namespace {

// The earliest time at which one more update stays within the window.
int64_t window_opens(const outbox &box, int64_t now)
{
    size_t recent = 0;
    for (const int64_t sent : box.send_times) {
        recent += sent + outbox_window_ms > now ? 1 : 0;
    }
    if (recent < outbox_window_updates) {
        return now;
    }
    // The oldest update that must leave the window first.
    return box.send_times[box.send_times.size() - outbox_window_updates] + outbox_window_ms;
}

} // namespace

void outbox_want(outbox *box, shown_activity activity)
{
    box->wanted = std::move(activity);
}

void outbox_connected(outbox *box)
{
    box->sent.reset();
    box->resend = false;
    box->resent = false;
    box->newer_fields_off = false;
}

std::optional<int64_t> outbox_next_time(const outbox &box, int64_t now)
{
    if (box.wanted == box.sent && !box.resend) {
        return std::nullopt;
    }
    return window_opens(box, now);
}

std::optional<shown_activity> outbox_take(outbox *box, int64_t now)
{
    const std::optional<int64_t> due = outbox_next_time(*box, now);
    if (!due || *due > now) {
        return std::nullopt;
    }
    while (!box->send_times.empty() && box->send_times.front() + outbox_window_ms <= now) {
        box->send_times.pop_front();
    }
    box->send_times.push_back(now);
    box->resent = box->wanted == box->sent;
    box->resend = false;
    box->sent = box->wanted;
    if (box->sent && box->newer_fields_off) {
        return without_newer_fields(*box->sent);
    }
    return box->sent;
}

void outbox_refused(outbox *box)
{
    if (!box->resent) {
        box->resend = true;
        box->newer_fields_off = true;
    }
}
