// Serial ports: the platform's functions with the guest's arguments; DCB
// and COMMTIMEOUTS records are used in place.
#include "handler.h"
#include "wce/comm.h"

using services::pass_through;

extern const ApiEntry kSerialApis[] = {
    {"ClearCommBreak", pass_through<ClearCommBreak>},
    {"ClearCommError", pass_through<ClearCommError>},
    {"GetCommModemStatus", pass_through<GetCommModemStatus>},
    {"GetCommState", pass_through<GetCommState>},
    {"GetCommTimeouts", pass_through<GetCommTimeouts>},
    {"SetCommBreak", pass_through<SetCommBreak>},
    {"SetCommState", pass_through<SetCommState>},
    {"SetCommTimeouts", pass_through<SetCommTimeouts>},
    {"SetupComm", pass_through<SetupComm>},
    {nullptr, nullptr},
};
