; Guest functions for the control-transfer tests: host calls between
; chunks, returns that are not the RET of their call, jump tables the
; program rewrites, deep recursion and non-local exits. Built twice: with
; the usual chunk size and with tiny chunks, so that every call crosses.
bits 32
section .text

global _WinMain@16
_WinMain@16:
    xor eax, eax
    ret 16

; (n): n + (n-1) + ... + 1 by plain recursion, n levels deep.
export xfer_sum_down
global _xfer_sum_down
_xfer_sum_down:
    mov ecx, [esp + 4]
    test ecx, ecx
    jz .zero
    push ecx
    dec ecx
    push ecx
    call _xfer_sum_down
    add esp, 4
    pop ecx
    add eax, ecx
    ret
.zero:
    xor eax, eax
    ret

; (): the callee replaces its return address, so its RET goes to
; `.elsewhere`, not back after the call; returns 7 there, 1 if the
; original return address was reached.
export xfer_rewritten_return
global _xfer_rewritten_return
_xfer_rewritten_return:
    call .rewrite
    mov eax, 1
    ret
.elsewhere:
    mov eax, 7
    ret
.rewrite:
    mov dword [esp], .elsewhere
    ret

; (): a RET with the expected return address but from a different depth:
; pops one extra frame first (a guest "return twice"); returns 9.
export xfer_return_twice
global _xfer_return_twice
_xfer_return_twice:
    call .outer
    mov eax, 9
    ret
.outer:
    call .inner
    mov eax, 3          ; not reached: .inner returns for .outer as well
    ret
.inner:
    add esp, 4
    ret

; (k): case k of a jump table in writable data (cmp/ja/jmp [table+k*4]);
; returns 10 + k, or 99 past the bound.
export xfer_switch
global _xfer_switch
_xfer_switch:
    mov eax, [esp + 4]
    cmp eax, 3
    ja .default
    jmp [switch_table + eax * 4]
.case0:
    mov eax, 10
    ret
.case1:
    mov eax, 11
    ret
.case2:
    mov eax, 12
    ret
.case3:
    mov eax, 13
    ret
.default:
    mov eax, 99
    ret
.carry:                 ; reached only through a rewritten entry
    setb al             ; the bound check's CF: k < 3
    movzx eax, al
    add eax, 20
    ret

; (k): a jump table whose jump does not start its block (as gcc emits
; it after loading the index); its cases read the bound check's CF (k < 3),
; one before any memory access, one after. 30 + CF or 40 + CF, 99 past
; the bound.
export xfer_switch_late
global _xfer_switch_late
_xfer_switch_late:
    mov eax, [esp + 4]
    cmp eax, 3
    ja .default
    mov ecx, eax
    jmp [late_table + ecx * 4]
.registers:
    setb al
    movzx eax, al
    add eax, 30
    ret
.memory:
    mov edx, [esp + 4]
    setb al
    movzx eax, al
    add eax, 40
    ret
.default:
    mov eax, 99
    ret

; (k, target): stores `target` as entry k of the jump table.
export xfer_switch_patch
global _xfer_switch_patch
_xfer_switch_patch:
    mov eax, [esp + 4]
    mov ecx, [esp + 8]
    mov [switch_table + eax * 4], ecx
    ret

; (k): the address of the switch's case k.
export xfer_case_address
global _xfer_case_address
_xfer_case_address:
    mov eax, [esp + 4]
    mov eax, [case_addresses + eax * 4]
    ret

; (a, b): 21 when a < b (unsigned), by a branch into another function that
; reads the compare's CF; else 2.
export xfer_flag_edge
global _xfer_flag_edge
_xfer_flag_edge:
    mov eax, [esp + 4]
    cmp eax, [esp + 8]
    jb _xfer_flag_reader
    mov eax, 2
    ret
export xfer_flag_reader
global _xfer_flag_reader
_xfer_flag_reader:
    setb al
    movzx eax, al
    add eax, 20
    ret

; A helper that answers in CF, called directly and through a register;
; the caller reads CF after each return: 7, 8, 9 give 0b101.
export xfer_flag_answer
global _xfer_flag_answer
_xfer_flag_answer:
    push ebx
    xor ebx, ebx
    mov eax, 7
    call is_odd
    adc ebx, ebx
    mov eax, 8
    call is_odd
    adc ebx, ebx
    mov edx, is_odd
    mov eax, 9
    call edx
    adc ebx, ebx
    mov eax, ebx
    pop ebx
    ret
is_odd:
    bt eax, 0
    ret

; (a, b): 1 when a - b is negative as a signed word (SF of the compare),
; else 0.
export xfer_compare_sign
global _xfer_compare_sign
_xfer_compare_sign:
    mov eax, [esp + 4]
    cmp eax, [esp + 8]
    js .negative
    xor eax, eax
    ret
.negative:
    mov eax, 1
    ret

; (n): n calls deep through two functions that call each other, which are
; separate chunks when chunks are small; returns n.
export xfer_ping_pong
global _xfer_ping_pong
_xfer_ping_pong:
    mov eax, [esp + 4]
    test eax, eax
    jz .done
    dec eax
    push eax
    call pong
    add esp, 4
    inc eax
.done:
    ret
pong:
    mov eax, [esp + 4]
    test eax, eax
    jz .done
    dec eax
    push eax
    call _xfer_ping_pong
    add esp, 4
    inc eax
.done:
    ret

; (): calls a function, then into its middle (past its first
; instruction), which lies in another chunk when chunks are small; returns
; 1040 + 40 + 5.
export xfer_call_middle
global _xfer_call_middle
_xfer_call_middle:
    call middle_function
    push eax
    xor eax, eax
    call middle_function.inner
    pop ecx
    add eax, ecx
    add eax, 5
    ret

; (k): calls through a table of function pointers; returns k * 100 + 1.
export xfer_indirect
global _xfer_indirect
_xfer_indirect:
    mov eax, [esp + 4]
    and eax, 1
    push 100
    call [handlers + eax * 4]
    add esp, 4
    inc eax
    ret

; (depth): a non-local exit. Calls down `depth` levels, then the deepest
; level restores the saved ESP and jumps back to `.landed` (as longjmp
; does); returns 77 + depth.
export xfer_long_exit
global _xfer_long_exit
_xfer_long_exit:
    push ebx
    mov ebx, [esp + 8]
    mov [saved_esp], esp
    push ebx
    call descend
    add esp, 4
    mov eax, 1          ; not reached
    pop ebx
    ret
.landed:
    lea eax, [ebx + 77]
    pop ebx
    ret

descend:
    mov ecx, [esp + 4]
    test ecx, ecx
    jz .bottom
    dec ecx
    push ecx
    call descend
    add esp, 4
    ret
.bottom:
    mov esp, [saved_esp]
    mov eax, _xfer_long_exit.landed
    jmp eax

times_hundred:
    mov eax, [esp + 4]
    ret
times_hundred_one:
    mov eax, [esp + 4]
    add eax, [esp + 4]
    ret

middle_function:
    mov eax, 1000       ; skipped by the call into the middle
.inner:
    add eax, 40
    ret

section .data
switch_table:
    dd _xfer_switch.case0, _xfer_switch.case1, _xfer_switch.case2, _xfer_switch.case3
late_table:
    dd _xfer_switch_late.registers, _xfer_switch_late.memory, _xfer_switch_late.memory, _xfer_switch_late.registers
case_addresses:
    dd _xfer_switch.case0, _xfer_switch.case1, _xfer_switch.case2, _xfer_switch.case3, _xfer_switch.carry
handlers:
    dd times_hundred, times_hundred_one
saved_esp:
    dd 0
