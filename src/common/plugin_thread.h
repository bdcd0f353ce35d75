// A thread of the plug-in's own: one start, one stop, and its own reference
// to the plug-in's DLL from its first to its last instruction, so that the
// host may unload the plug-in while the thread still finishes.
#pragma once

#include "common/unique_handle.h"

#include <windows.h>

#include <functional>

class plugin_thread {
  public:
    // Runs `body` on a new thread; an exception ends it and is dropped. When
    // the body returns, the thread lets go of the DLL and ends. False when no
    // thread could be started: the body then never runs.
    bool start(std::function<void()> body);

    // Waits at most `wait_ms` for the thread to end, then lets go of it: a
    // thread still running ends on its own and unloads the DLL through its
    // reference when the host has let go of it meanwhile. The body must have
    // been told to return before.
    void stop(DWORD wait_ms);

  private:
    kernel_handle thread_;
};
