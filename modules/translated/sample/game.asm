; The sample game: WinMain calls SAMPLE.dll by name and by ordinal and two
; emulated API functions, or, chosen by the first letter of its command
; line, walks one of the fatal paths. Preferred base 0x00400000: code at
; RVA 0x1000, import slots at RVA 0x3000, data at RVA 0x4000.
bits 32
org 0x401000
IAT_SampleAdd      equ 0x403000     ; SAMPLE.dll "SampleAdd"
IAT_SampleTriple   equ 0x403004     ; SAMPLE.dll ordinal 2
IAT_GetVersion     equ 0x40300C     ; KERNEL32.dll
IAT_GetProfileIntA equ 0x403010
IAT_NoSuchFunction equ 0x403014
SEH_STATE          equ 0x404000

WinMain:
        push ebp
        mov ebp, esp
        mov eax, [ebp+16]               ; lpCmdLine
        movzx eax, byte [eax]
        cmp eax, 'i'
        je near call_invalid
        cmp eax, 'u'
        je near call_unresolved
        cmp eax, 'n'
        je near jump_untranslated
        cmp eax, 's'
        je near seh_taken
        cmp eax, 'S'
        je near seh_declined
        push 2
        push 3
        call [IAT_SampleAdd]            ; 5
        push eax
        call [IAT_SampleTriple]         ; 3 * 5 + 1 (the DLL saw process attach)
        mov ebx, eax
        call [IAT_GetVersion]
        cmp eax, 0x50000
        jne near failed
        push 7                          ; GetProfileIntA(app, key, default 7)
        push 0
        push 0
        call [IAT_GetProfileIntA]
        add eax, ebx
        cmp eax, 23
        jne near failed
        xor eax, eax
        pop ebp
        ret 16

failed:
        mov eax, 0xDEAD0000
        call eax

call_invalid:
        mov eax, 0x12345678
        call eax

call_unresolved:
        call [IAT_NoSuchFunction]

jump_untranslated:
        mov eax, call_invalid + 1       ; inside the code, but no instruction starts there
        jmp eax

seh_taken:                              ; two handlers: the inner declines, the outer takes it
        push outer_handler
        push dword [fs:0]
        mov [fs:0], esp
seh_declined:                           ; only the inner handler
        push inner_handler
        push dword [fs:0]
        mov [fs:0], esp
        mov dword [SEH_STATE], 1
        xor ecx, ecx
        mov eax, [ecx]                  ; access violation
        jmp failed

        align 16, db 0xCC
inner_handler:                          ; cdecl (record, frame, context, dispatcher context)
        mov eax, [esp+4]
        cmp dword [eax], 0xC0000005
        jne failed
        cmp dword [SEH_STATE], 1
        jne failed
        mov dword [SEH_STATE], 2
        xor eax, eax                    ; go on searching
        ret

outer_handler:
        mov eax, [esp+4]
        cmp dword [eax], 0xC0000027
        je outer_unwind
        cmp dword [eax], 0xC0000005
        jne failed
        cmp dword [SEH_STATE], 2        ; the inner handler was asked first
        jne failed
        mov dword [SEH_STATE], 3
        mov eax, 1                      ; this one takes it
        ret
outer_unwind:
        cmp dword [eax+4], 2            ; unwinding
        jne failed
        cmp dword [SEH_STATE], 3
        jne failed
        mov ecx, [esp+12]               ; CONTEXT: Eip is the fault address
        mov edx, [ecx+0xB8]
        cmp edx, [eax+12]
        jne failed
        mov dword [SEH_STATE], 4
        mov eax, 1
        ret
