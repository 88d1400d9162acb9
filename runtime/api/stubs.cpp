// Shared stubs: functions the guest may call whose answer is fixed. One
// handler serves every name with the same result and argument count.
#include "handler.h"

namespace {

template <u32 Result, u32 Args>
void constant(Env* env) {
  guest_return_value(env, Result, Args);
}

template <u32 Args>
void keep_eax(Env* env) {
  guest_return(env, Args);
}

// Answers with one of its own arguments.
template <u32 Which, u32 Args>
void echo_arg(Env* env) {
  guest_return_value(env, arg(env, Which), Args);
}

}  // namespace

extern const ApiEntry kStubApis[] = {
    {"auxGetNumDevs", constant<0, 0>},
    {"mixerGetNumDevs", constant<0, 0>},
    {"WaitMessage", constant<0, 0>},
    {"GetEnvironmentStrings", constant<0, 0>},

    {"FreeEnvironmentStringsA", constant<0, 1>},
    {"FreeEnvironmentStringsW", constant<0, 1>},
    {"FreeLibrary", constant<0, 1>},
    {"GetSystemPaletteUse", constant<0, 1>},
    {"GetTopWindow", constant<0, 1>},
    {"midiOutClose", constant<0, 1>},
    {"midiOutReset", constant<0, 1>},
    {"mixerClose", constant<0, 1>},
    {"OutputDebugStringA", constant<0, 1>},
    {"SetCurrentDirectoryA", constant<0, 1>},
    {"SetUnhandledExceptionFilter", constant<0, 1>},
    {"timeBeginPeriod", constant<0, 1>},
    {"timeEndPeriod", constant<0, 1>},
    {"timeKillEvent", constant<0, 1>},
    {"UnhandledExceptionFilter", constant<0, 1>},

    {"auxGetVolume", constant<0, 2>},
    {"auxSetVolume", constant<0, 2>},
    {"GetCurrentDirectoryA", constant<0, 2>},
    {"LoadModule", constant<0, 2>},
    {"midiOutShortMsg", constant<0, 2>},
    {"SetEnvironmentVariableA", constant<0, 2>},
    {"SetMenu", constant<0, 2>},
    {"SetStdHandle", constant<0, 2>},
    {"SetStretchBltMode", constant<0, 2>},
    {"SHGetPathFromIDListA", constant<0, 2>},

    {"auxGetDevCapsA", constant<0, 3>},
    {"GetClassInfoA", constant<0, 3>},
    {"mciGetErrorStringA", constant<0, 3>},
    {"midiOutLongMsg", constant<0, 3>},
    {"midiOutPrepareHeader", constant<0, 3>},
    {"midiOutUnprepareHeader", constant<0, 3>},
    {"mixerGetControlDetailsA", constant<0, 3>},
    {"mixerGetLineControlsA", constant<0, 3>},
    {"mixerGetLineInfoA", constant<0, 3>},
    {"mixerSetControlDetails", constant<0, 3>},
    {"OpenFile", constant<0, 3>},

    {"mciSendCommandA", constant<0, 4>},
    {"RaiseException", constant<0, 4>},
    {"WinHelpA", constant<0, 4>},

    {"CallWindowProcA", constant<0, 5>},
    {"midiOutOpen", constant<0, 5>},
    {"mixerOpen", constant<0, 5>},
    {"timeSetEvent", constant<0, 5>},

    {"GetDIBits", constant<0, 7>},

    {"GlobalUnlock", constant<1, 1>},
    {"SetThreadAffinityMask", constant<1, 2>},
    {"mciSendStringA", constant<1, 4>},
    {"GdiSetBatchLimit", constant<8, 1>},
    {"Netbios", constant<9, 1>},
    {"SetErrorMode", constant<1024, 1>},
    {"SetHandleCount", constant<1024, 1>},
    {"GetCurrentProcess", constant<0x42, 0>},
    {"GetCurrentThread", constant<0x41, 0>},
    {"GetStdHandle", constant<0xFFFFFFFF, 1>},
    {"GetVersion", constant<0x50000, 0>},
    {"GetLogicalDrives", constant<12, 0>},
    {"GlobalHandle", echo_arg<1, 1>},
    {"GlobalLock", echo_arg<1, 1>},
    {"GetProfileIntA", echo_arg<3, 3>},
    {"RtlUnwind", keep_eax<4>},
    {nullptr, nullptr},
};
