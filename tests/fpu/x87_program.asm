; A straight run of x87 instructions for the translated-code tests: the
; test runs it once translated (each instruction a direct call of its
; operation) and once instruction by instruction through Emu87, from the
; same buffer, and compares the buffers (results and the final FSAVE
; image). ECX is the buffer: inputs at 0..63, outputs from 128. The
; control words at 56 and 58 take effect at the middle and at the start.
bits 32
section .text

global _WinMain@16
_WinMain@16:
    xor eax, eax
    ret 16

export x87_run
global _x87_run
_x87_run:
    mov ecx, [esp + 4]
export x87_run_body
global _x87_run_body
_x87_run_body:
    fninit
    fldcw [ecx + 58]
    ; arithmetic, memory forms
    fld qword [ecx + 0]
    fadd qword [ecx + 8]
    fmul dword [ecx + 16]
    fsub qword [ecx + 24]
    fsubr dword [ecx + 20]
    fdiv qword [ecx + 8]
    fdivr dword [ecx + 16]
    fiadd dword [ecx + 32]
    fimul word [ecx + 36]
    fisub dword [ecx + 32]
    fidivr word [ecx + 36]
    fst qword [ecx + 128]
    fst dword [ecx + 136]
    ; register forms of every row
    fld qword [ecx + 8]
    fld st1
    fadd st0, st1
    fmul st0, st2
    fsub st0, st1
    fsubr st0, st2
    fdiv st0, st1
    fdivr st0, st2
    fadd st2, st0
    fmul st1, st0
    fsub st2, st0
    fsubr st1, st0
    fdiv st2, st0
    fdivr st1, st0
    fxch st2
    fst st3
    fstp qword [ecx + 144]
    fld st0
    faddp st1, st0
    fld st0
    fmulp st2, st0
    fld qword [ecx + 0]
    fsubp st1, st0
    fld qword [ecx + 0]
    fsubrp st1, st0
    fld qword [ecx + 24]
    fdivp st1, st0
    fld qword [ecx + 24]
    fdivrp st1, st0
    fstp qword [ecx + 152]
    fstp dword [ecx + 160]
    fnstenv [ecx + 400]        ; the tags the pops above left
    ; compares and status words
    fld qword [ecx + 0]
    fld qword [ecx + 8]
    fcom st1
    fnstsw ax
    fcom qword [ecx + 24]
    fnstsw word [ecx + 166]
    fucom st1
    fnstsw word [ecx + 168]
    ficom dword [ecx + 32]
    fnstsw word [ecx + 170]
    fcomp dword [ecx + 16]
    fnstsw word [ecx + 172]
    fld qword [ecx + 8]
    fcompp
    fnstsw word [ecx + 174]
    ftst
    fxam
    fnstsw word [ecx + 176]
    fstp st0
    ; constants and the D9 F0-FF group
    fld1
    fldl2t
    fldl2e
    fldpi
    fldlg2
    fldln2
    fldz
    fcompp
    fcompp
    fcompp
    fld qword [ecx + 40]
    fabs
    fsqrt
    fst qword [ecx + 184]
    fsin
    fst qword [ecx + 192]
    fld qword [ecx + 40]
    fcos
    fstp qword [ecx + 200]
    fld qword [ecx + 40]
    fsincos
    fstp qword [ecx + 208]
    fptan
    fstp st0
    fld qword [ecx + 8]
    fpatan
    fst qword [ecx + 216]
    fld qword [ecx + 48]
    f2xm1
    fstp qword [ecx + 224]
    fld1
    fld qword [ecx + 0]
    fabs
    fyl2x
    fstp qword [ecx + 232]
    fld qword [ecx + 48]
    fyl2xp1
    fld qword [ecx + 16]
    fxtract
    fscale
    frndint
    fld qword [ecx + 24]
    fprem
    fprem1
    fchs
    fstp qword [ecx + 240]
    ; integers, rounding control, packed decimal, extended reals
    fild dword [ecx + 32]
    fild word [ecx + 36]
    fild qword [ecx + 0]
    fistp qword [ecx + 248]
    fldcw [ecx + 56]
    fld qword [ecx + 8]
    fist dword [ecx + 256]
    fist word [ecx + 260]
    fst dword [ecx + 264]
    fbstp tword [ecx + 268]
    fbld tword [ecx + 268]
    fstp tword [ecx + 278]
    fld tword [ecx + 278]
    fistp dword [ecx + 288]
    fnstcw [ecx + 292]
    ; stack faults (masked): overflow, an empty operand, FFREE, stack steps
    fld1
    fld1
    fld1
    fld1
    fld1
    fld1
    fld1
    fld1
    fld1
    ffree st3
    fadd st0, st3
    fxch st3
    fdecstp
    fincstp
    fincstp
    fnstsw word [ecx + 294]
    fnclex
    db 0x66, 0xD9, 0xC1        ; FLD ST(1) behind an operand-size prefix
    fwait
    fsave [ecx + 300]
    ret
