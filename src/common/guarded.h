// Entries that the host or Windows calls must not let an exception out: it
// cannot unwind through their frames and would end the player's process.
#pragma once

#include <type_traits>

// Runs `body` and returns its result, or `fallback` when it throws.
template <typename Result, typename Body> Result guarded(Result fallback, Body body) noexcept
{
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}

// Runs `body`; an exception ends it and is dropped.
template <typename Body> void guarded(Body body) noexcept
{
    try {
        body();
    } catch (...) {
    }
}
