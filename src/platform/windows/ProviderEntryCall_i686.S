// unsigned char __cdecl qorv_call_stdcall_checked(const void* fn, const uintptr_t* args,
//                                                 unsigned count, unsigned char* result)
//
// Pushes the count arguments (the first one last, so it is nearest to the return
// address), calls fn and stores the low byte of eax in *result. A stdcall function
// takes its arguments off the stack with its return; a cdecl one leaves them there,
// and the caller's frame would be off by their size from then on. The stack pointer
// expected after the return is kept in ebx, which both conventions preserve; the
// return value tells whether esp came back there. esp is set from ebp before returning,
// whatever fn did with it. 16 spare bytes above the arguments take the writes of a
// function that believes it has more arguments than it was given.
    .text
    .p2align 4
    .globl _qorv_call_stdcall_checked
    .def _qorv_call_stdcall_checked; .scl 2; .type 32; .endef
_qorv_call_stdcall_checked:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 16(%ebp), %ecx             // count
    movl 12(%ebp), %edx             // args
    leal (,%ecx,4), %eax
    subl $16, %esp
    // The call site 16-byte aligned, as GCC-built functions prefer.
    subl %eax, %esp
    andl $-16, %esp
    addl %eax, %esp
    movl %esp, %ebx                 // where esp belongs after a stdcall return
    testl %ecx, %ecx
    jz 2f
1:  pushl -4(%edx,%ecx,4)
    decl %ecx
    jnz 1b
2:  call *8(%ebp)
    xorl %ecx, %ecx
    cmpl %esp, %ebx
    sete %cl
    movl 20(%ebp), %edx
    movb %al, (%edx)
    movl %ecx, %eax
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
