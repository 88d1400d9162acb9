// Message boxes and beeps. Every box is printed to standard error and
// appended to the file named by DEVICE_MSGBOX_LOG, so tests can read what
// was shown. With a display the box is drawn over the screen and the user
// answers it (present/box.cpp); headless it is answered as the user would
// with the default button.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "present/box.h"
#include "wce/kernel.h"
#include "wce/wstr.h"

static std::atomic<unsigned> g_beeps;

int message_box_default_answer(UINT type) {
  static const int kButtons[][3] = {
      {IDOK, IDOK, IDOK},          {IDOK, IDCANCEL, IDCANCEL}, {IDABORT, IDRETRY, IDIGNORE},
      {IDYES, IDNO, IDCANCEL},     {IDYES, IDNO, IDNO},        {IDRETRY, IDCANCEL, IDCANCEL},
  };
  UINT kind = type & 0xF;
  UINT which = (type >> 8) & 0xF;
  if (kind > 5) kind = 0;
  if (which > 2) which = 0;
  return kButtons[kind][which];
}

static std::string one_line(const WCHAR* text) {
  std::string s = wstr_to_utf8(text);
  for (char& c : s)
    if (c == '\n' || c == '\r') c = ' ';
  return s;
}

extern "C" int MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
  std::string line = "[" + one_line(caption ? caption : u"Error") + "] " + one_line(text ? text : u"") + "\n";
  fputs(line.c_str(), stderr);
  if (const char* capture = getenv("DEVICE_MSGBOX_LOG")) {
    int fd = open(capture, O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) {
      ssize_t written = write(fd, line.data(), line.size());
      (void)written;
      close(fd);
    }
  }
  const Presenter* presenter = device_presenter();
  if (presenter->display)
    return present_message_box(presenter, caption ? caption : u"Error", text ? text : u"", type);
  return message_box_default_answer(type);
}

extern "C" BOOL MessageBeep(UINT) {
  g_beeps.fetch_add(1);
  return TRUE;
}

extern "C" unsigned device_beep_count(void) { return g_beeps.load(); }
