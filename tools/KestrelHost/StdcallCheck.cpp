// tools/KestrelHost/StdcallCheck.cpp
// The call with the stack pointer measured. It has to be written out in assembly: a
// compiler's own call would paper over the difference (restoring the stack pointer from the
// frame pointer) or act on it (reading its locals at the wrong place).
#include "tools/KestrelHost/StdcallCheck.h"

#if defined(__i386__)
asm(R"(
    .text
    .globl _KestrelCallStdcall
    .def _KestrelCallStdcall; .scl 2; .type 32; .endef
_KestrelCallStdcall:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    pushl %edi
    pushl %ebx
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
1:  testl %ecx, %ecx
    jz 2f
    pushl -4(%esi,%ecx,4)
    decl %ecx
    jmp 1b
2:  movl %esp, %edi
    call *8(%ebp)
    # edi survives the call (callee-saved): the stack pointer before it, arguments pushed.
    movl %esp, %ecx
    subl %edi, %ecx
    movl 16(%ebp), %edx
    shll $2, %edx
    subl %edx, %ecx
    movl 20(%ebp), %edx
    movl %ecx, (%edx)
    leal -12(%ebp), %esp
    popl %ebx
    popl %edi
    popl %esi
    popl %ebp
    ret
)");
#endif
