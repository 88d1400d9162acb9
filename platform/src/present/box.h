// Message boxes on a display: drawn over the screen, answered by the pen
// or the keys. The rules that both kinds of box share live in
// message_box.cpp.
#pragma once

#include <string>

#include "presenter.h"

// The buttons of a box style (MB_OK ... MB_RETRYCANCEL) as IDOK..IDNO, in
// the order shown; returns how many (1 to 3).
int message_box_buttons(UINT type, int ids[3]);
// The answer of the default button (MB_DEFBUTTONn), as a headless box gives.
int message_box_default_answer(UINT type);
// The answer of Escape and of closing the host window: the box's Cancel,
// No for Yes/No, OK for a plain box; 0 when the box has none
// (Abort/Retry/Ignore).
int message_box_escape_answer(UINT type);

// Shows the box on `presenter` and waits for the user's answer. Closing
// the host window while it is open answers it as Escape would (else with
// the default button) and then closes the game's window as usual.
int present_message_box(const Presenter* presenter, const std::u16string& caption, const std::u16string& text,
                        UINT type);
