// The call of stack_thunk.h, in assembly. In C++ a call commits to one
// convention, and the optimiser may even fold a stdcall call and a cdecl call
// of the same arguments into one (GCC does), so the convention-neutral call
// lives here.
#include "discord/stack_thunk.h"

// ebx, esi and ebp are preserved by the callee under both conventions: ebx
// keeps the stack pointer as it was right before the call, ebp the frame.
asm(R"(
    .text
    .globl _stack_thunk_call
    .def _stack_thunk_call; .scl 2; .type 32; .endef
_stack_thunk_call:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
    testl %ecx, %ecx
    jz 2f
1:
    pushl -4(%esi,%ecx,4)
    decl %ecx
    jnz 1b
2:
    movl %esp, %ebx
    call *8(%ebp)
    movl %esp, %ecx
    subl %ebx, %ecx
    movl 20(%ebp), %edx
    testl %edx, %edx
    jz 3f
    movl %ecx, (%edx)
3:
    leal -8(%ebp), %esp
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");
