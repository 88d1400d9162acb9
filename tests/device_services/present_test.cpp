// What the presenters build on without a display: frame conversion and
// scaling, overlays, host points to screen points, host keys, the message
// box rules, and text drawn with the device's font (headless too).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <vector>

#include "present/audio_output.h"
#include "present/box.h"
#include "present/presenter.h"
#include "wce/device.h"
#include "wce/gdi.h"
#include "wce/kernel.h"
#include "wce/window.h"

namespace {

TEST(PresentFrame, ScalesEachPixelToABlockWithFullColours) {
  const uint16_t src[2 * 2] = {0xF800, 0x07E0, 0x001F, 0xFFFF};  // red, green / blue, white
  for (int scale : {1, 2, 3}) {
    const int pitch = 2 * scale + 1;  // a wider destination row is left alone
    std::vector<uint32_t> dst(size_t(pitch) * 2 * scale, 0xDEADBEEF);
    present_scale_frame(src, 2, 2, scale, dst.data(), pitch);
    const uint32_t want[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    for (int y = 0; y < 2 * scale; ++y) {
      for (int x = 0; x < 2 * scale; ++x)
        ASSERT_EQ(dst[size_t(y) * pitch + x], want[(y / scale) * 2 + x / scale]) << scale << " " << x << "," << y;
      ASSERT_EQ(dst[size_t(y) * pitch + 2 * scale], 0xDEADBEEFu);
    }
  }
}

TEST(PresentFrame, OverlayIsClippedToTheFrame) {
  std::vector<uint16_t> frame(4 * 3, 0);
  const uint16_t box[2 * 2] = {1, 2, 3, 4};
  present_overlay_frame(frame.data(), 4, 3, box, 3, -1, 2, 2);  // only its lower left pixel lands
  std::vector<uint16_t> want(12, 0);
  want[3] = 3;
  EXPECT_EQ(frame, want);
  present_overlay_frame(frame.data(), 4, 3, box, -5, 0, 2, 2);  // wholly outside
  EXPECT_EQ(frame, want);
}

TEST(PresentInput, HostPointsBecomeScreenPointsInsideTheScreen) {
  int x, y;
  present_host_to_screen(479, 3, 2, 240, 320, &x, &y);
  EXPECT_EQ(x, 239);
  EXPECT_EQ(y, 1);
  present_host_to_screen(-1, 700, 2, 240, 320, &x, &y);  // dragged off the window
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 319);
  present_host_to_screen(639, 479, 2, 320, 240, &x, &y);  // landscape
  EXPECT_EQ(x, 319);
  EXPECT_EQ(y, 239);
}

TEST(PresentInput, HostKeysBecomeVirtualKeys) {
  if (present_vk_of_key('a') == 0) GTEST_SKIP() << "built without SDL2";
  // SDL key codes: letters and digits are their characters; F1 and the
  // arrows carry the scancode bit.
  EXPECT_EQ(present_vk_of_key('q'), UINT('Q'));
  EXPECT_EQ(present_vk_of_key('7'), UINT('7'));
  EXPECT_EQ(present_vk_of_key('\r'), 0x0Du);
  EXPECT_EQ(present_vk_of_key(27), 0x1Bu);
  EXPECT_EQ(present_vk_of_key(0x4000003A), 0x70u);  // F1
  EXPECT_EQ(present_vk_of_key(0x40000043), 0x79u);  // F10
  EXPECT_EQ(present_vk_of_key(0x40000050), 0x25u);  // left
  EXPECT_EQ(present_vk_of_key(0x400000E1), 0x10u);  // left shift
  EXPECT_EQ(present_vk_of_key(0x40000059), 0x61u);  // keypad 1
  EXPECT_EQ(present_vk_of_key(0x40000062), 0x60u);  // keypad 0
  EXPECT_EQ(present_vk_of_key(0x40000045), 0u);     // F12: none
}

TEST(PresentBox, ButtonsDefaultsAndEscape) {
  int ids[3];
  ASSERT_EQ(message_box_buttons(MB_YESNOCANCEL, ids), 3);
  EXPECT_EQ(ids[2], IDCANCEL);
  EXPECT_EQ(message_box_default_answer(MB_RETRYCANCEL | MB_DEFBUTTON2), IDCANCEL);
  EXPECT_EQ(message_box_escape_answer(MB_OK), IDOK);
  EXPECT_EQ(message_box_escape_answer(MB_YESNO), IDNO);
  EXPECT_EQ(message_box_escape_answer(MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(message_box_escape_answer(MB_ABORTRETRYIGNORE), 0);
}

TEST(PresentBox, HeadlessBoxesStillAnswerAtOnceAndAreLogged) {
  ASSERT_FALSE(device_presenter()->display);
  char path[] = "/tmp/boxlogXXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  setenv("DEVICE_MSGBOX_LOG", path, 1);
  EXPECT_EQ(MessageBoxW(nullptr, u"two\nlines", u"Cap", MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
  unsetenv("DEVICE_MSGBOX_LOG");
  char line[64] = {};
  FILE* f = fopen(path, "r");
  ASSERT_TRUE(f);
  ASSERT_TRUE(fgets(line, sizeof line, f));
  fclose(f);
  unlink(path);
  EXPECT_STREQ(line, "[Cap] two lines\n");
}

TEST(PresentAudio, TheOutputIsTheOneTheSettingAsks) {
  const char* want = getenv("DEVICE_AUDIO");
  EXPECT_STREQ(device_audio_output()->name, want && *want ? want : "null");
}

// Text: every inked pixel lies inside the rectangle, in the text colour.
struct ScreenDc {
  HDC dc = GetDC(nullptr);
  ScreenDc() { PatBlt(dc, 0, 0, device_screen_width(), device_screen_height(), WHITENESS); }
  ~ScreenDc() { ReleaseDC(nullptr, dc); }
};

struct Ink {
  int count = 0, outside = 0, reddest = 0;
};
Ink ink_on_screen(const RECT& inside) {
  Ink ink;
  const uint16_t* p = device_screen_pixels();
  for (int y = 0; y < device_screen_height(); ++y)
    for (int x = 0; x < device_screen_width(); ++x) {
      uint16_t v = p[y * device_screen_width() + x];
      if (v == 0xFFFF) continue;
      ++ink.count;
      if (x < inside.left || x >= inside.right || y < inside.top || y >= inside.bottom) ++ink.outside;
      if ((v >> 11) == 0x1F && (v & 0x7FF) < 0x100) ++ink.reddest;
    }
  return ink;
}

TEST(DrawText, InksInsideItsRectangleInTheTextColour) {
  ScreenDc s;
  RECT r{20, 30, 120, 50};
  SetTextColor(s.dc, 0x0000FF);  // red
  SetBkMode(s.dc, TRANSPARENT);
  EXPECT_GT(DrawTextW(s.dc, u"Loading...", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE), 0);
  Ink ink = ink_on_screen(r);
  EXPECT_GT(ink.count, 40);
  EXPECT_EQ(ink.outside, 0);
  EXPECT_GT(ink.reddest, 5);
  // Too narrow a rectangle clips instead of spilling.
  PatBlt(s.dc, 0, 0, device_screen_width(), device_screen_height(), WHITENESS);
  RECT narrow{20, 30, 35, 50};
  DrawTextW(s.dc, u"Loading...", -1, &narrow, DT_SINGLELINE);
  EXPECT_EQ(ink_on_screen(narrow).outside, 0);
}

TEST(DrawText, MeasuresAndWrapsWords) {
  ScreenDc s;
  RECT one{0, 0, 200, 0};
  int line = DrawTextW(s.dc, u"Non-translated address called.", -1, &one, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_GT(line, 6);
  EXPECT_GT(one.right, 60);
  EXPECT_EQ(one.bottom, line);
  RECT wrapped{0, 0, 70, 0};
  EXPECT_GE(DrawTextW(s.dc, u"Non-translated address called.", -1, &wrapped, DT_CALCRECT | DT_WORDBREAK), 3 * line);
  EXPECT_EQ(ink_on_screen(RECT{0, 0, 0, 0}).count, 0);  // measuring draws nothing
  EXPECT_EQ(DrawTextW(reinterpret_cast<HDC>(0x1234), u"x", -1, &one, 0), 0);
}

TEST(DrawText, ButtonsPaintTheirTextInsideTheirFrame) {
  ScreenDc s;
  HWND button = CreateWindowExW(0, u"BUTTON", u"Loading...", WS_VISIBLE | WS_BORDER | BS_CENTER, 60, 120, 120, 80,
                                nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(button);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  const uint16_t* p = device_screen_pixels();
  auto at = [&](int x, int y) { return p[y * device_screen_width() + x]; };
  EXPECT_EQ(at(60, 120), 0);    // frame
  EXPECT_EQ(at(179, 199), 0);
  EXPECT_EQ(at(61, 121), 0xFFFF);  // face
  Ink ink = ink_on_screen(RECT{60, 120, 180, 200});
  EXPECT_EQ(ink.outside, 0);
  EXPECT_GT(ink.count, 2 * 120 + 2 * 78 + 40);  // the frame and the text
  DestroyWindow(button);
}

}  // namespace
