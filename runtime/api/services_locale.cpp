// Code pages and locale: the wide functions on the platform, the ANSI ones
// through Zentrix.
#include "handler.h"
#include "wce/locale.h"
#include "zentrix.h"

using services::pass_through;

extern const ApiEntry kLocaleApis[] = {
    {"CompareStringA", pass_through<CompareStringA>},
    {"CompareStringW", pass_through<CompareStringW>},
    {"GetACP", pass_through<GetACP>},
    {"GetCPInfo", pass_through<GetCPInfo>},
    {"GetLocaleInfoA", pass_through<GetLocaleInfoA>},
    {"GetLocaleInfoW", pass_through<GetLocaleInfoW>},
    {"GetOEMCP", pass_through<GetOEMCP>},
    {"GetStringTypeA", pass_through<GetStringTypeA>},
    {"GetStringTypeW", pass_through<GetStringTypeW>},
    {"LCMapStringA", pass_through<LCMapStringA>},
    {"LCMapStringW", pass_through<LCMapStringW>},
    {"MultiByteToWideChar", pass_through<MultiByteToWideChar>},
    {"WideCharToMultiByte", pass_through<WideCharToMultiByte>},
    {nullptr, nullptr},
};
