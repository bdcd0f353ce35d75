// Thread timers: start and stop.
#include "timer/timer.h"

void timer_start(pump_timer *timer)
{
    timer->id = SetTimer(nullptr, 0, timer->interval, timer->callback);
}

void timer_stop(pump_timer *timer)
{
    if (timer->id == 0) {
        return;
    }
    KillTimer(nullptr, timer->id);
    timer->id = 0;
}
