// The device's font: one scalable font from the host, rendered into
// coverage masks that the GDI blends into surfaces. Thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One line of text rendered: `alpha` holds width x height coverage values
// (0 clear .. 255 solid), rows packed.
struct TextMask {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> alpha;
};

// Whether the font is there (opened at first use; a missing font is
// reported once on standard error and text then draws nothing).
bool font_available(void);
// Height of one line and the width of a UTF-8 string, in pixels.
int font_line_height(void);
int font_text_width(const std::string& utf8);
// Renders a UTF-8 line; false when there is nothing to draw.
bool font_render(const std::string& utf8, TextMask* out);
