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

; Calls helpers that return their answer in CF and ZF, as hand-written
; code does, directly and through a pointer, and reads the flags after
; each return; returns them packed two bits per call (CF, ZF).
export edge_flags_returned
global _edge_flags_returned
_edge_flags_returned:
    push esi
    xor esi, esi
    mov eax, 3
    call flag_helper
    call .pack
    mov eax, 4
    call flag_helper
    call .pack
    mov edx, flag_helper
    mov eax, 5
    call edx
    call .pack
    mov eax, 6
    call edx
    call .pack
    mov eax, 3
    call flag_branch
    call .pack
    mov eax, 5
    call flag_branch
    call .pack
    mov eax, 7
    call flag_branch
    call .pack
    mov eax, esi
    pop esi
    ret
.pack:
    setc cl
    setz dl
    shl esi, 2
    movzx ecx, cl
    movzx edx, dl
    add esi, ecx
    add esi, ecx
    add esi, edx
    mov edx, flag_helper
    ret
; Odd EAX: CF set, ZF clear; even: CF clear, ZF set when EAX is 4. The
; flags are set in other blocks than the RET's.
flag_helper:
    test eax, 1
    jz .even
    stc
    jmp .out
.even:
    cmp eax, 4
.out:
    ret
; The flags of a compare reach the RET by a conditional jump's edge or
; after another block: 3 sets CF, 5 ZF, 7 neither.
flag_branch:
    cmp eax, 5
    jbe .done
    mov ecx, eax
.done:
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

; (p) -> 1 when p is below 0xFFFFFFFF (CF of the compare), else 0. The
; compare's CF is read two blocks on, after the block that reads p: run
; again after a fault there, that block finds CF in the frame.
export edge_fault_rerun
global _edge_fault_rerun
_edge_fault_rerun:
    mov ecx, [esp + 4]
    cmp ecx, -1
    jmp .read
.read:
    mov edx, [ecx]
    jmp .answer
.answer:
    setc al
    movzx eax, al
    ret

; (a, b, p) -> [p] * 4, bit 0 set when a < b signed (the branch), bit 1 the
; compare's CF read after the branch. A load and a LEA lie between the
; compare and its branch, as gcc schedules them.
export edge_compare_moves
global _edge_compare_moves
_edge_compare_moves:
    mov eax, [esp + 4]
    mov ecx, [esp + 8]
    mov edx, [esp + 12]
    cmp eax, ecx
    mov edx, [edx]
    lea eax, [edx * 4]
    jl .less
    sbb ecx, ecx
    and ecx, 2
    or eax, ecx
    ret
.less:
    sbb ecx, ecx
    and ecx, 2
    or eax, ecx
    or eax, 1
    ret

; (a, b, 0): 2 when a < b, else SETA of the same compare in the block its
; JB falls into; (a, b, c != 0): SETA after ADD b, a, which jumps into that
; block: it is not only the fall-through of the compare's jump.
export edge_compare_fall
global _edge_compare_fall
_edge_compare_fall:
    mov eax, [esp + 4]
    mov ecx, [esp + 8]
    cmp dword [esp + 12], 0
    jne .other
    cmp eax, ecx
    jb .below
.join:
    seta al
    movzx eax, al
    ret
.below:
    mov eax, 2
    ret
.other:
    add ecx, eax
    jmp .join

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

; (p, v): adds v to every byte from p + 1 upwards until a write faults,
; counting them in EDX. The block at edge_byte_loop_pass leaves ESI out of
; the frame on its jump back; a fault there tells ESI by its address.
export edge_byte_loop_fault
global _edge_byte_loop_fault
_edge_byte_loop_fault:
    mov esi, [esp + 4]
    mov ecx, [esp + 8]
    xor edx, edx
export edge_byte_loop_pass
global _edge_byte_loop_pass
_edge_byte_loop_pass:
    add [esi + 1], cl
    inc esi
    inc edx
    jmp _edge_byte_loop_pass

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

; (kind): one trap instruction after a jump, with EBX and ESI set before
; the jump and EDI in the trap's own block, 5 bytes before the trap:
; 0 INT3, 1 UD2, 2 HLT, 3 INT 0x21, 4 INTO with OF set, 5 INTO with OF
; clear (returns 7), 6 INT1, 7 INT 3 (the two-byte form), 8 INT 0x29.
export edge_trap
global _edge_trap
_edge_trap:
    mov ecx, [esp + 4]
    mov ebx, 0x1234
    mov esi, 0x5678
    mov dl, 0x7F
    add dl, 1                       ; signed overflow: OF for INTO
    jmp [trap_table + ecx * 4]
export edge_trap_int3
global _edge_trap_int3
_edge_trap_int3:
    mov edi, 0x9ABC
    int3
export edge_trap_ud2
global _edge_trap_ud2
_edge_trap_ud2:
    mov edi, 0x9ABC
    ud2
export edge_trap_hlt
global _edge_trap_hlt
_edge_trap_hlt:
    mov edi, 0x9ABC
    hlt
export edge_trap_int21
global _edge_trap_int21
_edge_trap_int21:
    mov edi, 0x9ABC
    int 0x21
export edge_trap_into
global _edge_trap_into
_edge_trap_into:
    mov edi, 0x9ABC
    into
    mov eax, 99
    ret
trap_into_clear:
    xor eax, eax
    into
    mov eax, 7
    ret
export edge_trap_int1
global _edge_trap_int1
_edge_trap_int1:
    mov edi, 0x9ABC
    int1
export edge_trap_int_3
global _edge_trap_int_3
_edge_trap_int_3:
    mov edi, 0x9ABC
    db 0xCD, 0x03
export edge_trap_int29
global _edge_trap_int29
_edge_trap_int29:
    mov edi, 0x9ABC
    int 0x29

section .data
align 4
trap_table:
    dd _edge_trap_int3, _edge_trap_ud2, _edge_trap_hlt, _edge_trap_int21, _edge_trap_into, trap_into_clear
    dd _edge_trap_int1, _edge_trap_int_3, _edge_trap_int29
section .text

; (out): CPUID leaves 0 and 1 and two RDTSC readings into out[0..7]
; (leaf 0: EAX, EBX, EDX, ECX; leaf 1: EAX, EDX; RDTSC: low words).
export edge_cpuid
global _edge_cpuid
_edge_cpuid:
    push ebx
    push edi
    mov edi, [esp + 12]
    xor eax, eax
    cpuid
    mov [edi], eax
    mov [edi + 4], ebx
    mov [edi + 8], edx
    mov [edi + 12], ecx
    mov eax, 1
    cpuid
    mov [edi + 16], eax
    mov [edi + 20], edx
    rdtsc
    mov [edi + 24], eax
    mov ecx, 1000
.spin:
    dec ecx
    jnz .spin
    rdtsc
    mov [edi + 28], eax
    pop edi
    pop ebx
    ret

; (p, expected_lo, expected_hi): CMPXCHG8B [p] with ECX:EBX = 0x11111111:
; 0x22222222 (LOCK when expected_hi is odd); returns EAX, with EDX in
; [p + 8] and ZF in [p + 12].
export edge_cmpxchg8b
global _edge_cmpxchg8b
_edge_cmpxchg8b:
    push ebx
    push esi
    mov esi, [esp + 12]
    mov eax, [esp + 16]
    mov edx, [esp + 20]
    mov ecx, 0x11111111
    mov ebx, 0x22222222
    test edx, 1
    jnz .locked
    cmpxchg8b [esi]
    jmp .done
.locked:
    lock cmpxchg8b [esi]
.done:
    setz cl
    movzx ecx, cl
    mov [esi + 8], edx
    mov [esi + 12], ecx
    pop esi
    pop ebx
    ret

; (a): AAM of a's low byte, then AAD back with base 16 after AAM base 16;
; returns AX of AAM (base 10) in the low half and AX of AAD 16 of AAM 16
; in the high half.
export edge_ascii_adjust
global _edge_ascii_adjust
_edge_ascii_adjust:
    mov eax, [esp + 4]
    aam
    movzx ecx, ax
    mov eax, [esp + 4]
    aam 16
    aad 16
    shl eax, 16
    or eax, ecx
    ret

; (a): 16-bit PUSH and POP, and ENTER with nesting level 2; returns
; (popped word << 16) | (ESP moved by the 16-bit pushes), and the nested
; frame's copied pointer minus EBP in EDX.
export edge_push16
global _edge_push16
_edge_push16:
    push ebp
    push ebx
    mov ebx, esp
    mov eax, [esp + 12]
    push ax
    push word 0x1234
    pop cx                          ; 0x1234
    pop dx                          ; the low half of a
    mov ecx, ebx
    sub ecx, esp                    ; 0: balanced
    shl edx, 16
    or edx, ecx
    mov ebp, esp
    enter 8, 2                      ; copies [ebp - 4], then pushes the new frame
    mov ecx, [ebp - 8]              ; the new frame pointer itself
    sub ecx, ebp                    ; 0
    mov eax, edx
    mov edx, ecx
    leave
    mov esp, ebx
    pop ebx
    pop ebp
    ret

; (out): the forms compilers write with prefixes and the 16-bit forms of
; hand-written code, with results in out[0..21] (words): LOOP counting in
; CX, the words PUSHA (16-bit) stored, the registers POPA (16-bit) left,
; PUSHF and POPF (16-bit) with LAHF, SMSW, SGDT, REP BSF, a REP RET,
; LEAVE (16-bit), SIDT, SLDT, STR (in out[22..25]) and LAHF after FCOMI
; (out[26]).
export edge_legacy
global _edge_legacy
_edge_legacy:
    push ebx
    push esi
    push edi
    push ebp
    mov edi, [esp + 20]
    mov ecx, 0x12340003
    xor eax, eax
.count:
    inc eax
    a16 loop .count                 ; three rounds; ECX's high half stays
    mov [edi], eax
    mov [edi + 4], ecx
    mov eax, 0x11110001
    mov ecx, 0x22220002
    mov edx, 0x33330003
    mov ebx, 0x44440004
    mov esi, 0x55550005
    mov ebp, 0x66660006
    mov [edi + 72], esp
    o16 pusha
    mov [edi + 76], esp
    mov eax, [esp]                  ; DI, SI
    mov [edi + 8], eax
    mov eax, [esp + 4]              ; BP, SP
    mov [edi + 12], eax
    mov eax, [esp + 8]              ; BX, DX
    mov [edi + 16], eax
    mov eax, [esp + 12]             ; CX, AX
    mov [edi + 20], eax
    mov eax, 0xAAAAFFFF
    mov ecx, 0xBBBBFFFF
    mov edx, 0xCCCCFFFF
    mov ebx, 0xDDDDFFFF
    mov esi, 0xEEEEFFFF
    mov ebp, 0x9999FFFF
    o16 popa
    mov [edi + 24], eax
    mov [edi + 28], ecx
    mov [edi + 32], edx
    mov [edi + 36], ebx
    mov [edi + 40], esi
    mov [edi + 44], ebp
    xor eax, eax                    ; ZF, PF
    stc
    o16 pushf
    pop ax
    mov [edi + 48], eax
    mov ax, 0x0811                  ; OF, AF, CF
    push ax
    o16 popf
    lahf
    seto al
    mov [edi + 52], eax
    smsw [edi + 56]
    sgdt [edi + 60]
    mov ecx, 0x50
    db 0xF3, 0x0F, 0xBC, 0xC1       ; rep bsf eax, ecx
    db 0x66, 0x90                   ; o16 nop
    db 0x66, 0x0F, 0x1F, 0x44, 0x00, 0x00
    test eax, eax
    db 0x3E                         ; branch-taken hint
    jnz .hinted
    xor eax, eax
.hinted:
    call rep_return
    mov [edi + 68], eax
    mov edx, esp
    push word 0x7777                ; a 16-bit frame pointer
    mov ebp, esp
    sub esp, 8
    o16 leave                       ; pops only BP
    mov [edi + 80], ebp
    sub edx, esp
    mov [edi + 84], edx             ; 0: balanced
    sidt [edi + 88]
    sldt [edi + 96]
    mov eax, -1
    str eax
    mov [edi + 100], eax
    mov al, 0x0F
    add al, 1                       ; AF set ...
    lahf                            ; ... and read, so it is computed
    fld1
    fldz
    fcomi st0, st1                  ; 0 < 1: CF; AF cleared
    lahf
    fstp st0
    fstp st0
    mov [edi + 104], eax
    pop ebp
    pop edi
    pop esi
    pop ebx
    ret
rep_return:
    shl eax, 4                      ; 4 -> 0x40
    db 0xF3, 0xC3                   ; rep ret

; (p): reads [bx] with the address-size prefix, EBX = p: only the low 16
; bits address, below 64K, which is never mapped.
export edge_fault16
global _edge_fault16
_edge_fault16:
    push ebx
    mov ebx, [esp + 8]
    a16 mov eax, [bx]
    pop ebx
    ret

; (p): string instructions with 16-bit addresses and CX = 0 (ECX's high
; half set): REP MOVSB and REPE CMPSB touch nothing and change nothing;
; returns ECX ^ (ESI - p) ^ (EDI - p).
export edge_string16
global _edge_string16
_edge_string16:
    push esi
    push edi
    mov esi, [esp + 12]
    mov edi, esi
    mov ecx, 0x00050000
    a16 rep movsb
    a16 repe cmpsb
    mov eax, ecx
    sub esi, [esp + 12]
    sub edi, [esp + 12]
    xor eax, esi
    xor eax, edi
    pop edi
    pop esi
    ret

; (p, k): with 16-bit addresses, from p: LODSB (k = 0), XLAT (k = 1) or
; REP STOSB with CX = 1 (k = 2); each faults below 64K.
export edge_fault16_string
global _edge_fault16_string
_edge_fault16_string:
    push ebx
    push esi
    push edi
    mov esi, [esp + 16]
    mov ebx, esi
    mov edi, esi
    mov ecx, 0x00050001
    xor eax, eax
    cmp dword [esp + 20], 1
    jb .lods
    je .xlat
    a16 rep stosb
    jmp .done
.lods:
    a16 lodsb
    jmp .done
.xlat:
    a16 xlatb
.done:
    pop edi
    pop esi
    pop ebx
    ret

; (k): transfers with the operand-size prefix, which cut EIP to 16 bits:
; a RET popping the word 0x1234 (k = 0), CALL (k = 1) and JMP (k = 2)
; through AX = 0x2345. Nothing runs below 64K: each ends in the runtime's
; report of the address.
export edge_flow16
global _edge_flow16
_edge_flow16:
    mov eax, 0x2345
    cmp dword [esp + 4], 1
    jb .ret
    je .call
    o16 jmp ax
.call:
    o16 call ax
.ret:
    push word 0x1234
    o16 ret

; (): a relative CALL with the operand-size prefix and displacement 0, to
; the low 16 bits of the next instruction's address.
export edge_call16_rel
global _edge_call16_rel
_edge_call16_rel:
    db 0x66, 0xE8, 0x00, 0x00
    ret

; (flags): each FCMOVcc ST(0), ST(1) with ST(0) = 1 and ST(1) = 2, from
; the flags SAHF takes from bits 8-15 of `flags`; returns a mask with bit k
; set when the k-th of B, E, BE, U, NB, NE, NBE, NU moved 2 into ST(0).
%macro fcmov_case 2
    fld qword [fcmov_two]
    fld1
    mov eax, edx
    sahf
    %1 st0, st1
    fstp qword [fcmov_out]
    fstp st0
    cmp dword [fcmov_out + 4], 0x40000000
    jne %%kept
    or ebx, 1 << %2
%%kept:
%endmacro
export edge_fcmov
global _edge_fcmov
_edge_fcmov:
    push ebx
    mov edx, [esp + 8]
    xor ebx, ebx
    fcmov_case fcmovb, 0
    fcmov_case fcmove, 1
    fcmov_case fcmovbe, 2
    fcmov_case fcmovu, 3
    fcmov_case fcmovnb, 4
    fcmov_case fcmovne, 5
    fcmov_case fcmovnbe, 6
    fcmov_case fcmovnu, 7
    mov eax, ebx
    pop ebx
    ret

section .data
align 8
fcmov_two: dq 2.0
fcmov_out: dq 0.0
section .text

; (kind): an x87 instruction that raises an unmasked exception, with EBX
; and ESI set before it: 0 FDIVP by zero at the end of a run of x87
; instructions, 1 the same alone between integer instructions (EDI set
; in its block), 2 a ninth push (a stack check), 3 FNINIT alone (the
; state as loaded again, for the next test).
export edge_x87_raise
global _edge_x87_raise
_edge_x87_raise:
    mov ecx, [esp + 4]
    fninit
    cmp ecx, 3
    je x87_raise_done
    push ebx
    push esi
    push 0x0372                     ; invalid operation and divide by zero unmasked
    fldcw [esp]
    add esp, 4
    mov ebx, 0x1234
    mov esi, 0x5678
    cmp ecx, 1
    je x87_raise_alone
    cmp ecx, 2
    je x87_raise_full
    fld1
    fldz
export edge_x87_raise_run
global _edge_x87_raise_run
_edge_x87_raise_run:
    fdivp st1, st0
    jmp x87_raise_back
x87_raise_alone:
    fld1
    fldz
    mov edi, 0x9ABC
export edge_x87_raise_alone
global _edge_x87_raise_alone
_edge_x87_raise_alone:
    fdivp st1, st0
    jmp x87_raise_back
x87_raise_full:
%rep 8
    fld1
%endrep
export edge_x87_raise_full
global _edge_x87_raise_full
_edge_x87_raise_full:
    fld1
x87_raise_back:
    pop esi
    pop ebx
    fninit
x87_raise_done:
    ret

; (): walks a constructor list in .text as gcc's start-up code does
; (0xFFFFFFFF, pointers, 0), calling each, then a callback whose address
; was pushed; returns the sum of what they returned (1 + 2 + 4). The
; list and the zero padding after it are data, though relocated words
; hold their addresses; the functions only they name must still run.
export edge_ctor_list
global _edge_ctor_list
_edge_ctor_list:
    push ebx
    push esi
    xor esi, esi
    mov ebx, ctor_list
    cmp dword [ctor_list], -1
    jne .done
.next:
    add ebx, 4
    mov eax, [ebx]
    test eax, eax
    jz .done
    call eax
    add esi, eax
    jmp .next
.done:
    mov ecx, ctor_padding
    push ctor_callback
    pop eax
    call eax
    add eax, esi
    pop esi
    pop ebx
    ret
ctor_one:
    mov eax, 1
    ret
ctor_two:
    mov eax, 2
    ret
ctor_callback:
    mov eax, 4
    ret
align 4
ctor_list:
    dd -1, ctor_one, ctor_two, 0
ctor_padding:
    times 32 db 0
