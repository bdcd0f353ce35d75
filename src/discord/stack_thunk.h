// Calls into code whose calling convention is not fixed at compile time
// (x86 only): the caller's stack pointer is restored after the call, so the
// same call is right for cdecl and stdcall callees alike.
#pragma once

#include <cstdint>

// Calls `function` with the `count` 32-bit arguments `args` (first argument
// first) and returns its 32-bit result. `*popped`, unless NULL, receives the
// bytes of arguments the callee removed from the stack: 0 for cdecl, 4 per
// argument for stdcall, anything else for code that follows neither.
extern "C" uint32_t __cdecl stack_thunk_call(void *function, const uint32_t *args, uint32_t count,
                                             int32_t *popped);
