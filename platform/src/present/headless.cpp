// The headless presenter: no window. The screen is seen through the
// capture file, and message boxes answer with their default button.
#include "presenter.h"

namespace {
void no_frame(void) {}
void no_overlay(const uint16_t*, int, int, int, int) {}
const Presenter kHeadless = {"headless", false, no_frame, no_overlay};
}  // namespace

const Presenter* headless_presenter(void) { return &kHeadless; }
