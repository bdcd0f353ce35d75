// The song clock of a stream, moved on by each reading.
#include "presence/stream_clock.h"

int64_t advance_stream_clock(stream_clock *clock, utf16_view location, const stream_song &song, bool playing,
                             int64_t now)
{
    if (clock->location != location || clock->song != song || clock->start == 0) {
        *clock = {utf16_string(location), song, now, playing ? 0 : now};
    } else if (playing && clock->paused_at != 0) {
        clock->start += now - clock->paused_at;
        clock->paused_at = 0;
    } else if (!playing && clock->paused_at == 0) {
        clock->paused_at = now;
    }
    return playing ? clock->start : 0;
}
