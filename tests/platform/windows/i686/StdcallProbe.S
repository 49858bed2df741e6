// See StdcallProbe.h. What the callee leaves in the registers is written to fixed
// memory first: after a broken callee no register but esp can be trusted, and esp only
// for the store itself.
    .data
    .p2align 2
probe_fn:        .long 0
probe_frame:     .long 0            // the probe's own ebp
probe_left:      .long 0, 0, 0, 0, 0, 0

    .text
    .p2align 4
    .globl _qorv_probe_stdcall
    .def _qorv_probe_stdcall; .scl 2; .type 32; .endef
_qorv_probe_stdcall:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 8(%ebp), %eax
    movl %eax, probe_fn
    movl %ebp, probe_frame
    subl $16, %esp                  // room for a callee that writes past its arguments
    movl 20(%ebp), %eax             // before
    movl %esp, 0(%eax)
    movl $0xB0B1B2B3, 4(%eax)
    movl $0x51525354, 8(%eax)
    movl $0xD0D1D2D3, 12(%eax)
    movl $0xEBECEDEE, 16(%eax)
    movl %fs:0, %ecx
    movl %ecx, 20(%eax)
    movl 16(%ebp), %ecx             // count
    movl 12(%ebp), %edx             // args
    testl %ecx, %ecx
    jz 2f
1:  pushl -4(%edx,%ecx,4)
    decl %ecx
    jnz 1b
2:  movl $0xB0B1B2B3, %ebx
    movl $0x51525354, %esi
    movl $0xD0D1D2D3, %edi
    movl $0xEBECEDEE, %ebp
    call *probe_fn
    movl %esp, probe_left
    movl %ebx, probe_left+4
    movl %esi, probe_left+8
    movl %edi, probe_left+12
    movl %ebp, probe_left+16
    movl %fs:0, %ecx
    movl %ecx, probe_left+20
    movl probe_frame, %ebp
    leal -12(%ebp), %esp
    movl 24(%ebp), %edx             // after
    movl $probe_left, %esi
    movl $6, %ecx
3:  movl -4(%esi,%ecx,4), %edi
    movl %edi, -4(%edx,%ecx,4)
    decl %ecx
    jnz 3b
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
