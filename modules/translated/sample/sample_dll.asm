; SAMPLE.dll: the guest DLL that the sample game imports. Preferred base
; 0x10000000; code at RVA 0x1000, data at RVA 0x2000.
bits 32
org 0x10001000
ATTACH_REASON equ 0x10002000

DllMain:                        ; (hinstDLL, fdwReason, lpvReserved)
        mov eax, [esp+8]
        mov [ATTACH_REASON], eax
        mov eax, 1
        ret 12
        align 16, db 0xCC
SampleAdd:                      ; export "SampleAdd", ordinal 1: a + b
        mov eax, [esp+4]
        add eax, [esp+8]
        ret 8
        align 16, db 0xCC
SampleTriple:                   ; ordinal 2 only: 3x + the attach reason
        mov eax, [esp+4]
        lea eax, [eax+eax*2]
        add eax, [ATTACH_REASON]
        ret 4
