// Without SDL2 for the target: the device is headless, silent (the null
// output) and draws no text.
#include "presenter.h"

const Presenter* sdl_presenter_start(int) { return nullptr; }
UINT present_vk_of_key(int32_t) { return 0; }

#include "audio_output.h"
#include "font.h"

bool font_available(void) { return false; }
int font_line_height(void) { return 12; }
int font_text_width(const std::string&) { return 0; }
bool font_render(const std::string&, TextMask*) { return false; }
const AudioOutput* sdl_audio_output(void) { return nullptr; }
