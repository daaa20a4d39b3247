// Turns the window system's events into keys of the key queue.
#pragma once

#include "display/key_queue.h"

union SDL_Event;

namespace discsim {

// Adds to the queue the keys that one event stands for: each character typed (one byte; only
// characters with a one-byte code), escape, return, backspace, tab and control+letter (their
// control codes), arrow, editing and function keys (255 and a PC scan code), and the window's
// close request (255, 'k'). Automatic repeats count as presses; every other event adds nothing.
void queue_keys_of_event(const SDL_Event& event, KeyQueue& queue);

}  // namespace discsim
