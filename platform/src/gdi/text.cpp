// Text: DrawTextW and the text colours of a DC, drawn with the device's
// font (present/font.h), anti-aliased against what is beneath.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "gdi.h"
#include "present/font.h"
#include "wce/kernel.h"
#include "wce/wstr.h"

namespace {

uint32_t rgb_of_colorref(COLORREF c) { return (c & 0xFF) << 16 | (c & 0xFF00) | ((c >> 16) & 0xFF); }

struct Line {
  std::string utf8;
  int width;
};

std::string utf8_of(const std::u16string& s) { return wstr_to_utf8(s.c_str()); }

// Breaks `text` into lines: at line ends (unless single-line) and, with
// DT_WORDBREAK, between words where a line would pass max_width. A word
// wider than the whole line keeps a line of its own.
std::vector<Line> layout(const std::u16string& text, UINT format, int max_width) {
  std::vector<std::u16string> paragraphs;
  std::u16string current;
  for (char16_t c : text) {
    if (c == u'\r') continue;
    if (c == u'\n' && !(format & DT_SINGLELINE)) {
      paragraphs.push_back(current);
      current.clear();
    } else {
      current.push_back(c == u'\n' ? u' ' : c);
    }
  }
  paragraphs.push_back(current);
  std::vector<Line> lines;
  for (const std::u16string& p : paragraphs) {
    if (!(format & DT_WORDBREAK) || (format & DT_SINGLELINE)) {
      std::string u = utf8_of(p);
      lines.push_back({u, font_text_width(u)});
      continue;
    }
    std::u16string line;
    size_t i = 0;
    do {
      size_t end = p.find(u' ', i);
      if (end == std::u16string::npos) end = p.size();
      std::u16string word = p.substr(i, end - i);
      std::u16string longer = line.empty() ? word : line + u" " + word;
      if (!line.empty() && font_text_width(utf8_of(longer)) > max_width) {
        std::string u = utf8_of(line);
        lines.push_back({u, font_text_width(u)});
        line = word;
      } else {
        line = longer;
      }
      i = end + 1;
    } while (i <= p.size());
    std::string u = utf8_of(line);
    lines.push_back({u, font_text_width(u)});
  }
  return lines;
}

void fill(Surface& s, const RECT& r, const RECT& clip, uint32_t rgb) {
  uint32_t raw = surface_from_rgb(s, rgb);
  for (LONG y = std::max(r.top, clip.top); y < std::min(r.bottom, clip.bottom); ++y)
    for (LONG x = std::max(r.left, clip.left); x < std::min(r.right, clip.right); ++x) surface_put(s, x, y, raw);
}

// Blends the coverage mask in `rgb` at (x, y), inside `clip`.
void blend(Surface& s, const TextMask& m, int x, int y, const RECT& clip, uint32_t rgb) {
  for (int my = 0; my < m.height; ++my) {
    int py = y + my;
    if (py < clip.top || py >= clip.bottom) continue;
    for (int mx = 0; mx < m.width; ++mx) {
      int px = x + mx;
      uint32_t a = m.alpha[size_t(my) * m.width + mx];
      if (!a || px < clip.left || px >= clip.right) continue;
      uint32_t under = surface_to_rgb(s, surface_get(s, px, py)), out = 0;
      for (int shift = 0; shift <= 16; shift += 8) {
        uint32_t f = (rgb >> shift) & 0xFF, b = (under >> shift) & 0xFF;
        out |= ((f * a + b * (255 - a) + 127) / 255) << shift;
      }
      surface_put(s, px, py, surface_from_rgb(s, out));
    }
  }
}

}  // namespace

int gdi_draw_text(Surface& s, const RECT& clip_in, const WCHAR* text, int count, RECT* rect, UINT format,
                  uint32_t text_rgb, bool opaque, uint32_t back_rgb) {
  std::u16string str = count < 0 ? std::u16string(text) : std::u16string(text, size_t(count));
  const int line_height = font_line_height();
  std::vector<Line> lines = layout(str, format, rect->right - rect->left);
  const int height = line_height * int(lines.size());
  if (format & DT_CALCRECT) {
    int widest = 0;
    for (const Line& l : lines) widest = std::max(widest, l.width);
    rect->right = rect->left + widest;
    rect->bottom = rect->top + height;
    return height;
  }
  RECT clip = clip_in;
  if (!(format & DT_NOCLIP)) {
    clip.left = std::max(clip.left, rect->left), clip.top = std::max(clip.top, rect->top);
    clip.right = std::min(clip.right, rect->right), clip.bottom = std::min(clip.bottom, rect->bottom);
  }
  int y = rect->top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER) y = rect->top + (rect->bottom - rect->top - height) / 2;
    else if (format & DT_BOTTOM) y = rect->bottom - height;
  }
  for (const Line& l : lines) {
    int x = rect->left;
    if (format & DT_CENTER) x = rect->left + (rect->right - rect->left - l.width) / 2;
    else if (format & DT_RIGHT) x = rect->right - l.width;
    if (opaque) fill(s, RECT{x, y, x + l.width, y + line_height}, clip, back_rgb);
    TextMask mask;
    if (font_render(l.utf8, &mask)) blend(s, mask, x, y, clip, text_rgb);
    y += line_height;
  }
  return height;
}

extern "C" int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format) {
  if (!text || !rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  GdiDc* d = static_cast<GdiDc*>(gdi_lookup(dc, GDI_DC));
  if (!d) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  // DC coordinates to surface coordinates and back.
  RECT r = *rect;
  OffsetRect(&r, d->origin_x, d->origin_y);
  int height = gdi_draw_text(*dc_surface(d), d->clip, text, count, &r, format, rgb_of_colorref(d->text_color),
                             d->back_mode == OPAQUE, rgb_of_colorref(d->back_color));
  if (format & DT_CALCRECT) {
    OffsetRect(&r, -d->origin_x, -d->origin_y);
    *rect = r;
  } else if (!d->memory) {
    screen_changed();
  }
  return height;
}

extern "C" COLORREF SetTextColor(HDC dc, COLORREF color) {
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  GdiDc* d = static_cast<GdiDc*>(gdi_lookup(dc, GDI_DC));
  if (!d) return CLR_INVALID;
  return std::exchange(d->text_color, color);
}

extern "C" COLORREF SetBkColor(HDC dc, COLORREF color) {
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  GdiDc* d = static_cast<GdiDc*>(gdi_lookup(dc, GDI_DC));
  if (!d) return CLR_INVALID;
  return std::exchange(d->back_color, color);
}

extern "C" int SetBkMode(HDC dc, int mode) {
  std::lock_guard<std::mutex> hold(g_gdi_lock);
  GdiDc* d = static_cast<GdiDc*>(gdi_lookup(dc, GDI_DC));
  if (!d || (mode != TRANSPARENT && mode != OPAQUE)) {
    SetLastError(d ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return 0;
  }
  return std::exchange(d->back_mode, mode);
}
