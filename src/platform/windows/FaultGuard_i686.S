// unsigned char __cdecl qorv_call_guarded(void (*fn)(void*), void* context)
//
// Calls fn(context) with an exception registration record of its own on the fs:[0]
// chain. The record is extended with the stack and frame pointers to resume with. The
// handler unwinds the frames inside it (RtlUnwind runs their handlers and takes them off
// the chain), then resumes in qorv_call_guarded, which returns 0. It resumes by jumping,
// not by continuing the exception, so non-continuable exceptions are caught as well.
    .text
    .p2align 4
    .globl _qorv_call_guarded
    .def _qorv_call_guarded; .scl 2; .type 32; .endef
_qorv_call_guarded:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    // Record: +0 previous, +4 handler, +8 resume esp, +12 resume ebp
    pushl %ebp
    subl $4, %esp
    pushl $qorv_guard_handler
    pushl %fs:0
    movl %esp, 8(%esp)
    movl %esp, %fs:0
    pushl 12(%ebp)
    call *8(%ebp)
    addl $4, %esp
    movl $1, %eax
    jmp qorv_guard_leave
qorv_guard_resume:
    xorl %eax, %eax
qorv_guard_leave:
    // Here esp points at the record again: take it off the chain.
    movl (%esp), %ecx
    movl %ecx, %fs:0
    addl $16, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

// EXCEPTION_DISPOSITION __cdecl handler(EXCEPTION_RECORD*, void* frame, CONTEXT*, void*)
    .p2align 4
qorv_guard_handler:
    movl 4(%esp), %eax
    testl $6, 4(%eax)               // EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND
    jnz qorv_guard_search
    movl 8(%esp), %ebx              // our record
    pushl $0
    pushl %eax
    pushl $qorv_guard_unwound
    pushl %ebx
    call _RtlUnwind@16
qorv_guard_unwound:
    movl 12(%ebx), %ebp
    movl 8(%ebx), %esp
    jmp qorv_guard_resume
qorv_guard_search:
    movl $1, %eax                   // ExceptionContinueSearch
    ret
