// Calls through a small assembly trampoline that misaligns the stack and checks the convention.
#include "checked_call.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <windows.h>

#if defined(__i386__)

extern "C" {
// Written by the trampoline; the host calls the plug-in from its main thread only.
std::uintptr_t checked_call_saved_esp;
std::uintptr_t checked_call_expected_esp;
// Returns how many of ESP, EBX, ESI, EDI and EBP differ after the call.
unsigned __cdecl checked_call_trampoline(const void *function, unsigned misalign, unsigned popped_bytes,
                                         unsigned count, const std::uintptr_t *arguments,
                                         std::uintptr_t *result);
}

asm(R"(
    .text
    .globl _checked_call_trampoline
_checked_call_trampoline:
    push %ebp
    push %ebx
    push %esi
    push %edi
    mov %esp, %ebp
    mov %esp, _checked_call_saved_esp
    mov 32(%ebp), %ecx
    lea 0(,%ecx,4), %edx
    mov %esp, %eax
    sub $64, %eax
    sub %edx, %eax
    and $-16, %eax
    sub 24(%ebp), %eax
    mov %eax, %esp
    mov 36(%ebp), %esi
    mov %esp, %edi
    cld
    rep movsl
    mov %esp, %eax
    add 28(%ebp), %eax
    mov %eax, _checked_call_expected_esp
    mov 20(%ebp), %eax
    mov $0x5a5a1111, %ebx
    mov $0x5a5a2222, %esi
    mov $0x5a5a3333, %edi
    mov $0x5a5a4444, %ebp
    call *%eax
    xor %ecx, %ecx
    xor %edx, %edx
    cmp _checked_call_expected_esp, %esp
    setne %dl
    add %edx, %ecx
    cmp $0x5a5a1111, %ebx
    setne %dl
    add %edx, %ecx
    cmp $0x5a5a2222, %esi
    setne %dl
    add %edx, %ecx
    cmp $0x5a5a3333, %edi
    setne %dl
    add %edx, %ecx
    cmp $0x5a5a4444, %ebp
    setne %dl
    add %edx, %ecx
    mov _checked_call_saved_esp, %esp
    mov 40(%esp), %edx
    mov %eax, (%edx)
    mov %ecx, %eax
    pop %edi
    pop %esi
    pop %ebx
    pop %ebp
    ret
)");

std::uintptr_t checked_call(const void *function, unsigned misalign, bool callee_pops,
                            std::initializer_list<std::uintptr_t> arguments)
{
    std::vector<std::uintptr_t> pushed(arguments);
    std::uintptr_t result = 0;
    unsigned popped = callee_pops ? unsigned(pushed.size() * 4) : 0;
    unsigned differing =
        checked_call_trampoline(function, misalign, popped, unsigned(pushed.size()), pushed.data(), &result);
    if (differing != 0) {
        std::fprintf(stderr,
                     "checked_call: %u of the stack pointer and callee-saved registers differ after "
                     "a call on a stack misaligned by %u: the callee broke its calling convention\n",
                     differing, misalign);
        std::fflush(stderr);
        std::abort();
    }
    return result;
}

#else

std::uintptr_t checked_call(const void *function, unsigned, bool callee_pops,
                            std::initializer_list<std::uintptr_t> arguments)
{
    // One convention on x86-64: call through the declared type the arguments imply.
    std::vector<std::uintptr_t> a(arguments);
    switch (a.size()) {
    case 0:
        return reinterpret_cast<std::uintptr_t (*)()>(function)();
    case 4:
        return reinterpret_cast<std::uintptr_t(CALLBACK *)(std::uintptr_t, std::uintptr_t, std::uintptr_t,
                                                           std::uintptr_t)>(function)(a[0], a[1], a[2], a[3]);
    }
    (void)callee_pops;
    std::abort();
}

#endif
