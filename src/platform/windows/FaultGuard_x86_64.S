// unsigned char qorv_call_guarded(void (*fn)(void*), void* context)
//
// Calls fn(context) inside a frame whose scope table sends every exception raised in
// the call to qorv_seh_filter; __C_specific_handler then unwinds the inner frames and
// resumes at the handler label, which returns 0.
    .text
    .p2align 4
    .globl qorv_call_guarded
    .def qorv_call_guarded; .scl 2; .type 32; .endef
    .seh_proc qorv_call_guarded
qorv_call_guarded:
    pushq %rbp
    .seh_pushreg %rbp
    subq $32, %rsp
    .seh_stackalloc 32
    .seh_endprologue
    movq %rcx, %rax
    movq %rdx, %rcx
.Lguard_begin:
    callq *%rax
    nop
.Lguard_end:
    movl $1, %eax
    jmp .Lguard_done
.Lguard_handler:
    xorl %eax, %eax
.Lguard_done:
    addq $32, %rsp
    popq %rbp
    ret
    .seh_handler __C_specific_handler, @except
    .seh_handlerdata
    .long 1
    .rva .Lguard_begin
    .rva .Lguard_end
    .rva qorv_seh_filter
    .rva .Lguard_handler
    .text
    .seh_endproc
