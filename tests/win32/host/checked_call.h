// Calls a plug-in entry point the way a 32-bit host may: on a stack misaligned on purpose, and
// checking afterwards that the callee kept the calling convention the host declared.
#pragma once

#include <cstdint>
#include <initializer_list>

// Calls `function` with `arguments` (pushed right to left) and the stack pointer `misalign`
// bytes below a 16-byte boundary at the call. `callee_pops` is the number of argument bytes the
// declared convention has the callee remove (0 for cdecl, 4 per argument for stdcall). Ends the
// process with a message when the stack pointer or a callee-saved register (EBX, ESI, EDI, EBP)
// differs after the call. Elsewhere than on 32-bit x86 it calls `function` plainly.
std::uintptr_t checked_call(const void *function, unsigned misalign, bool callee_pops,
                            std::initializer_list<std::uintptr_t> arguments = {});
