// Thread timers without a window (the SDK pump, the reconnection attempts):
// `callback` runs every `interval` milliseconds from the owning thread's
// message loop.
#pragma once

#include <windows.h>

struct pump_timer {
    UINT_PTR id;        // identifier chosen by the system; 0 while not running
    UINT interval;      // period in milliseconds
    TIMERPROC callback; // the timer procedure
};

// Starts the timer; `id` stays 0 when the system refuses it.
void timer_start(pump_timer *timer);

// Stops a running timer and sets `id` to 0; does nothing when it is not running.
void timer_stop(pump_timer *timer);
