// The plug-in's own hold on the host's message loop: a message-only window
// of its own, whose timer brings ticks and whose posted message marks how far
// the queue went at a moment. Called on the host's main thread only.
#pragma once

// At start-up: creates the window; false when it cannot (then no tick comes
// and no mark can be made).
bool main_loop_open();

// At shut-down: ends the ticks, forgets the mark and destroys the window;
// no tick comes after this returns.
void main_loop_close();

// Calls `tick` every `interval_ms` until main_loop_ticks_stop(); while
// ticking, a second start changes nothing. One tick at a time for the whole
// plug-in.
void main_loop_ticks_start(unsigned interval_ms, void (*tick)());

// Ends the ticks, if any: none comes after this returns.
void main_loop_ticks_stop();

// Marks the host's queue as it stands: main_loop_marked() answers true until
// every message waiting in it now has been handled. False when the mark
// cannot be made (no window, a full queue).
bool main_loop_mark();

// Whether the last mark is still waiting in the queue, behind messages that
// were posted before it was made.
bool main_loop_marked();
