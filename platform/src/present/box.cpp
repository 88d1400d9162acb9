// A message box drawn over the screen. While it is open the presenter's
// input comes here: a tap on a button answers with it, Enter with the
// focused button (the default one to begin with), Escape as Cancel; the
// arrows and Tab move the focus.
#include "box.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "device_input.h"
#include "gdi/gdi.h"
#include "present/font.h"
#include "wce/device.h"
#include "wce/kernel.h"

namespace {

enum : UINT { kVkTab = 0x09, kVkReturn = 0x0D, kVkEscape = 0x1B, kVkSpace = 0x20, kVkLeft = 0x25, kVkUp = 0x26,
              kVkRight = 0x27, kVkDown = 0x28 };

const char16_t* label_of(int id) {
  switch (id) {
    case IDOK: return u"OK";
    case IDCANCEL: return u"Cancel";
    case IDABORT: return u"Abort";
    case IDRETRY: return u"Retry";
    case IDIGNORE: return u"Ignore";
    case IDYES: return u"Yes";
    default: return u"No";
  }
}

constexpr uint32_t kFace = 0xFFFFFF, kInk = 0x000000, kTitleBar = 0x0A246A, kTitleInk = 0xFFFFFF;
constexpr int kMargin = 8;

// The open box: its look, where its buttons are and the answer once given.
struct OpenBox {
  std::u16string caption, text;
  int ids[3];
  int count;
  int focus;
  int escape;  // 0: Escape does nothing
  int x, y, width, height;  // on the screen
  int title_height, text_height, button_height, button_width;
  int pen_button = -1;  // where the pen went down
  int answer = 0;
  bool close_after = false;
  const Presenter* presenter;
};

// The open box, set while one is showing. Input may still be on its way
// through the route as the box goes, so every use checks it under the lock.
std::mutex g_box_lock;
std::condition_variable g_answered;
OpenBox* g_open;

RECT button_rect(const OpenBox& b, int i) {
  int top = b.height - kMargin - b.button_height;
  int left = kMargin + i * (b.button_width + kMargin);
  return RECT{left, top, left + b.button_width, top + b.button_height};
}

void frame(Surface& s, RECT r, int thickness, uint32_t rgb) {
  uint32_t raw = surface_from_rgb(s, rgb);
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if (y < r.top + thickness || y >= r.bottom - thickness || x < r.left + thickness || x >= r.right - thickness)
        surface_put(s, x, y, raw);
}

void fill(Surface& s, RECT r, uint32_t rgb) {
  uint32_t raw = surface_from_rgb(s, rgb);
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) surface_put(s, x, y, raw);
}

void layout(OpenBox& b, int screen_w, int screen_h) {
  const int line = font_line_height();
  b.width = std::min(screen_w - 2 * kMargin, 224);
  Surface none{};
  RECT measure{0, 0, b.width - 2 * kMargin, 0};
  b.text_height = gdi_draw_text(none, RECT{}, b.text.c_str(), -1, &measure, DT_WORDBREAK | DT_CALCRECT, 0, false, 0);
  b.title_height = line + 6;
  b.button_height = line + 10;
  b.button_width = (b.width - kMargin * (b.count + 1)) / b.count;
  b.height = std::min(b.title_height + kMargin + b.text_height + 2 * kMargin + b.button_height, screen_h);
  b.x = (screen_w - b.width) / 2;
  b.y = (screen_h - b.height) / 2;
}

void show(OpenBox& b) {
  Surface s{};
  if (!surface_init(&s, b.width, b.height, 16)) return;
  const RECT all{0, 0, b.width, b.height};
  fill(s, all, kFace);
  fill(s, RECT{0, 0, b.width, b.title_height}, kTitleBar);
  RECT title{kMargin / 2, 0, b.width - kMargin / 2, b.title_height};
  gdi_draw_text(s, all, b.caption.c_str(), -1, &title, DT_SINGLELINE | DT_VCENTER, kTitleInk, false, 0);
  RECT body{kMargin, b.title_height + kMargin, b.width - kMargin, b.height - 2 * kMargin - b.button_height};
  gdi_draw_text(s, all, b.text.c_str(), -1, &body, DT_WORDBREAK, kInk, false, 0);
  for (int i = 0; i < b.count; ++i) {
    RECT r = button_rect(b, i);
    frame(s, r, i == b.focus ? 2 : 1, kInk);
    gdi_draw_text(s, all, label_of(b.ids[i]), -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER, kInk, false, 0);
  }
  frame(s, all, 1, kInk);
  b.presenter->show_overlay(reinterpret_cast<const uint16_t*>(s.bits.data()), b.x, b.y, b.width, b.height);
}

void answer_locked(OpenBox& b, int id) {
  if (b.answer || !id) return;
  b.answer = id;
  g_answered.notify_all();
}

int button_at(const OpenBox& b, int x, int y) {
  for (int i = 0; i < b.count; ++i) {
    RECT r = button_rect(b, i);
    if (x - b.x >= r.left && x - b.x < r.right && y - b.y >= r.top && y - b.y < r.bottom) return i;
  }
  return -1;
}

void box_pen(int action, int x, int y) {
  std::lock_guard<std::mutex> hold(g_box_lock);
  if (!g_open) return;
  OpenBox& b = *g_open;
  if (action == DEVICE_PEN_DOWN) {
    b.pen_button = button_at(b, x, y);
  } else if (action == DEVICE_PEN_UP) {
    int i = button_at(b, x, y);
    if (i >= 0 && i == b.pen_button) answer_locked(b, b.ids[i]);
    b.pen_button = -1;
  }
}

void box_key(UINT vk, bool down) {
  std::lock_guard<std::mutex> hold(g_box_lock);
  if (!g_open) return;
  OpenBox& b = *g_open;
  if (!down || b.answer) return;
  switch (vk) {
    case kVkReturn: case kVkSpace: answer_locked(b, b.ids[b.focus]); break;
    case kVkEscape: answer_locked(b, b.escape); break;
    case kVkLeft: case kVkUp: b.focus = (b.focus + b.count - 1) % b.count, show(b); break;
    case kVkRight: case kVkDown: case kVkTab: b.focus = (b.focus + 1) % b.count, show(b); break;
    default: break;
  }
}

void box_close(void) {
  std::lock_guard<std::mutex> hold(g_box_lock);
  if (!g_open) return;
  OpenBox& b = *g_open;
  b.close_after = true;
  answer_locked(b, b.escape ? b.escape : b.ids[b.focus]);
}

const InputRoute kBoxRoute = {box_pen, box_key, box_close};

}  // namespace

int message_box_buttons(UINT type, int ids[3]) {
  static const int kButtons[6][3] = {{IDOK}, {IDOK, IDCANCEL}, {IDABORT, IDRETRY, IDIGNORE},
                                     {IDYES, IDNO, IDCANCEL}, {IDYES, IDNO}, {IDRETRY, IDCANCEL}};
  static const int kCounts[6] = {1, 2, 3, 3, 2, 2};
  UINT kind = type & 0xF;
  if (kind > 5) kind = 0;
  std::copy(kButtons[kind], kButtons[kind] + 3, ids);
  return kCounts[kind];
}

int message_box_escape_answer(UINT type) {
  int ids[3];
  int n = message_box_buttons(type, ids);
  if (std::find(ids, ids + n, IDCANCEL) != ids + n) return IDCANCEL;
  if (n == 2 && ids[1] == IDNO) return IDNO;
  return n == 1 ? int(IDOK) : 0;
}

int present_message_box(const Presenter* presenter, const std::u16string& caption, const std::u16string& text,
                        UINT type) {
  // One box at a time: a second waits for the first to be answered.
  static std::mutex one_at_a_time;
  std::lock_guard<std::mutex> serial(one_at_a_time);
  OpenBox b;
  b.caption = caption, b.text = text, b.presenter = presenter;
  b.count = message_box_buttons(type, b.ids);
  int def = message_box_default_answer(type);
  b.focus = int(std::find(b.ids, b.ids + b.count, def) - b.ids) % b.count;
  b.escape = message_box_escape_answer(type);
  layout(b, device_screen_width(), device_screen_height());
  {
    std::unique_lock<std::mutex> hold(g_box_lock);
    g_open = &b;
    present_route_input(&kBoxRoute);  // before the box can be seen and tapped
    show(b);
    g_answered.wait(hold, [&] { return b.answer != 0; });
    present_route_input(nullptr);
    g_open = nullptr;
  }
  presenter->show_overlay(nullptr, 0, 0, 0, 0);
  if (b.close_after) device_input_close();
  return b.answer;
}
