// Calls through a small assembly trampoline that misaligns the stack and checks the convention.
#include "checked_call.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <windows.h>

#if defined(__i386__)

// Returns how many of ESP, EBX, ESI, EDI and EBP differ after the call. Keeps what it checks
// in its own frame, so that a call may nest inside another (a modal dialog's loop).
extern "C" unsigned __cdecl checked_call_trampoline(const void *function, unsigned misalign,
                                                    unsigned popped_bytes, unsigned count,
                                                    const std::uintptr_t *arguments, std::uintptr_t *result);

asm(R"(
    .text
    .globl _checked_call_trampoline
_checked_call_trampoline:
    push %ebp
    mov %esp, %ebp
    push %ebx
    push %esi
    push %edi
    push %ebp                       # -16(%ebp): the frame pointer, to compare after the call
    sub $4, %esp                    # -20(%ebp): the stack pointer expected after the call
    mov 20(%ebp), %ecx              # argument count
    lea 0(,%ecx,4), %edx
    mov %esp, %eax
    sub $64, %eax
    sub %edx, %eax
    and $-16, %eax
    sub 12(%ebp), %eax              # misaligned on purpose
    mov %eax, %esp
    mov 24(%ebp), %esi              # arguments, copied to the stack in order
    mov %esp, %edi
    cld
    rep movsl
    mov %esp, %eax
    add 16(%ebp), %eax              # what the callee removes
    mov %eax, -20(%ebp)
    mov 8(%ebp), %eax
    mov $0x5a5a1111, %ebx
    mov $0x5a5a2222, %esi
    mov $0x5a5a3333, %edi
    call *%eax
    xor %ecx, %ecx
    xor %edx, %edx
    cmp -20(%ebp), %esp
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
    cmp -16(%ebp), %ebp
    setne %dl
    add %edx, %ecx
    mov 28(%ebp), %edx
    mov %eax, (%edx)
    mov %ecx, %eax
    lea -12(%ebp), %esp
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
    case 1:
        return reinterpret_cast<std::uintptr_t(CALLBACK *)(std::uintptr_t)>(function)(a[0]);
    case 2:
        return reinterpret_cast<std::uintptr_t (*)(std::uintptr_t, std::uintptr_t)>(function)(a[0], a[1]);
    case 4:
        return reinterpret_cast<std::uintptr_t(CALLBACK *)(std::uintptr_t, std::uintptr_t, std::uintptr_t,
                                                           std::uintptr_t)>(function)(a[0], a[1], a[2], a[3]);
    }
    (void)callee_pops;
    std::abort();
}

#endif
