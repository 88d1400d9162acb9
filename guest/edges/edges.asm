; Guest functions for the chunk convention tests: each exported function
; exercises one rule of generated code and is called by the test through
; the module's dispatcher.
bits 32
section .text

global _WinMain@16
_WinMain@16:
    xor eax, eax
    ret 16

; Touches no flag: the flags the caller entered with come back.
export edge_flags_keep
global _edge_flags_keep
_edge_flags_keep:
    mov eax, 5
    ret

; Calls a callee that pops its arguments with ret 16 and comes back
; through the chunk's own look-up.
export edge_ret_n
global _edge_ret_n
_edge_ret_n:
    push 4
    push 3
    push 2
    push 1
    call sum4
    add eax, 100
    ret
sum4:
    mov eax, [esp + 4]
    add eax, [esp + 8]
    add eax, [esp + 12]
    add eax, [esp + 16]
    ret 16

; (dst_last, src_last, count): REP MOVSB with DF set, copying downwards;
; returns ECX.
export edge_movsb_down
global _edge_movsb_down
_edge_movsb_down:
    push esi
    push edi
    mov edi, [esp + 12]
    mov esi, [esp + 16]
    mov ecx, [esp + 20]
    std
    rep movsb
    cld
    mov eax, ecx
    pop edi
    pop esi
    ret

; Faults in the block after a jump; EBX and ESI are set before it.
export edge_fault
global _edge_fault
_edge_fault:
    mov ebx, 0x1234
    mov esi, 0x5678
    jmp .next
.next:
    mov edx, 0x9ABC
    mov eax, [0]
    ret

; (p): adds up words from p upwards until a read faults, and counts every
; eighth word in ECX. The block at edge_loop_pass reads and jumps back to
; itself; the counting block touches no memory.
export edge_loop_fault
global _edge_loop_fault
_edge_loop_fault:
    mov esi, [esp + 4]
    xor ecx, ecx
    xor edx, edx
export edge_loop_pass
global _edge_loop_pass
_edge_loop_pass:
    add edx, [esi]
    add esi, 4
    test esi, 0x1c
    jnz _edge_loop_pass
    inc ecx
    jmp _edge_loop_pass

; (a, b) -> a / b, signed.
export edge_divide
global _edge_divide
_edge_divide:
    mov eax, [esp + 4]
    cdq
    idiv dword [esp + 8]
    ret

; (p) -> count of bytes before the first zero, with REPNE SCASB.
export edge_strlen
global _edge_strlen
_edge_strlen:
    push edi
    mov edi, [esp + 8]
    xor eax, eax
    mov ecx, -1
    cld
    repne scasb
    mov eax, -2
    sub eax, ecx
    pop edi
    ret

; (case): one instruction on [ecx], first plain and then with LOCK on the
; next word, each from the case's EAX, EDX and EFLAGS; the registers and
; flags each form leaves go back into the case (LockCase in the test).
%macro lock_pair 2+
export %1
global _%1
_%1:
    mov ecx, [esp + 4]
    mov eax, [ecx + 8]
    mov edx, [ecx + 12]
    push dword [ecx + 16]
    popfd
    %2
    pushfd
    pop dword [ecx + 28]
    mov [ecx + 20], eax
    mov [ecx + 24], edx
    lea ecx, [ecx + 4]
    mov eax, [ecx + 4]
    mov edx, [ecx + 8]
    push dword [ecx + 12]
    popfd
    lock %2
    pushfd
    pop dword [ecx + 36]
    mov [ecx + 28], eax
    mov [ecx + 32], edx
    ret
%endmacro

lock_pair edge_lock_xadd32, xadd [ecx], edx
lock_pair edge_lock_xadd16, xadd [ecx], dx
lock_pair edge_lock_xadd8, xadd [ecx], dl
lock_pair edge_lock_cmpxchg32, cmpxchg [ecx], edx
lock_pair edge_lock_cmpxchg16, cmpxchg [ecx], dx
lock_pair edge_lock_cmpxchg8, cmpxchg [ecx], dl
lock_pair edge_lock_add16, add word [ecx], 0x7FFF
lock_pair edge_lock_sub32, sub [ecx], edx
lock_pair edge_lock_and8, and [ecx], dl
lock_pair edge_lock_or32, or dword [ecx], 0x80
lock_pair edge_lock_xor16, xor [ecx], dx
lock_pair edge_lock_adc32, adc [ecx], edx
lock_pair edge_lock_sbb8, sbb [ecx], dl
lock_pair edge_lock_inc16, inc word [ecx]
lock_pair edge_lock_dec32, dec dword [ecx]
lock_pair edge_lock_neg32, neg dword [ecx]
lock_pair edge_lock_neg8, neg byte [ecx]
lock_pair edge_lock_not16, not word [ecx]
lock_pair edge_lock_bts32, bts [ecx], edx
lock_pair edge_lock_btr16, btr [ecx], dx
lock_pair edge_lock_btc32, btc dword [ecx], 7
