// Dialogs and the boxes the runtime shows in their place: no dialog is
// created, the guest's dialog procedure is kept only while its "Not
// Implemented" box shows, and the font and about boxes only name
// themselves.
#include <cstdlib>

#include "handler.h"
#include "wce/kernel.h"
#include "wce/window.h"

using services::pass_through;

namespace {

// DialogBoxParamA / DialogBoxParamW(hInstance, lpTemplateName, hWndParent,
// lpDialogFunc, dwInitParam): EAX stays as it was.
template <const char16_t* Name>
void dialog_box(Env* env) {
  if (g_bridge.DlgProcSlot) {
    // A dialog from guest code running while another one shows its box.
    log_puts("More than one DlgProc not mplemented");
    exit(-1);
  }
  g_bridge.DlgProcSlot = arg(env, 4);
  MessageBoxW(nullptr, Name, u"Not Implemented", MB_ICONERROR);
  g_bridge.DlgProcSlot = 0;
  guest_return(env, 5);
}

constexpr char16_t kDialogBoxParamA[] = u"DialogBoxParamA";
constexpr char16_t kDialogBoxParamW[] = u"DialogBoxParamW";

// ChooseFontW(lpcf): EAX stays as it was.
void choose_font(Env* env) {
  MessageBoxW(GetForegroundWindow(), u"ChooseFontW", u"Not Implemented", MB_OK);
  guest_return(env, 1);
}

// ShellAboutW(hWnd, szApp, szOtherStuff, hIcon): EAX stays as it was.
void shell_about(Env* env) {
  MessageBoxW(GetForegroundWindow(), u"ShellAboutW", u"About", MB_OK);
  guest_return(env, 4);
}

}  // namespace

extern const ApiEntry kDialogApis[] = {
    {"DialogBoxParamA", dialog_box<kDialogBoxParamA>},
    {"DialogBoxParamW", dialog_box<kDialogBoxParamW>},
    {"ChooseFontW", choose_font},
    {"ShellAboutW", shell_about},
    {"EndDialog", pass_through<EndDialog>},
    {nullptr, nullptr},
};
