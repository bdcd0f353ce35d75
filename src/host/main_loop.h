// The plug-in's own hold on the host's message loop: a message-only window
// of its own, whose timer brings ticks and whose posted message brings a call
// once the messages already waiting have been handled. Called on the host's
// main thread only.
#pragma once

// At start-up: creates the window; false when it cannot (then neither ticks
// nor calls come).
bool main_loop_open();

// At shut-down: ends the ticks and destroys the window; neither a tick nor a
// call comes after this returns.
void main_loop_close();

// Calls `tick` every `interval_ms` until main_loop_ticks_stop(); while
// ticking, a second start changes nothing. One tick at a time for the whole
// plug-in.
void main_loop_ticks_start(unsigned interval_ms, void (*tick)());

// Ends the ticks, if any: none comes after this returns.
void main_loop_ticks_stop();

// Calls `call` once the messages waiting in the host's queue now have been
// handled; while that call waits, asking for it again changes nothing. One
// waiting call at a time for the whole plug-in. False when it cannot be
// asked for (no window, a full queue): then nothing is called.
bool main_loop_call_soon(void (*call)());
