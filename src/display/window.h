// The display facility: one window that shows the drawing surface, and the keyboard. The rest of
// the program sees only these functions; the window system stays behind them.
#pragma once

#include "display/key.h"
#include "display/surface.h"

namespace discsim {

// Opens the window showing window_surface(): width x height must be the surface's 1280 x 768 and
// pages 1; depth 24 is held as one 32-bit word per pixel; full_screen false asks for a window
// (full screen is tried once if that fails), refresh 0 leaves the rate to the display. Returns 0
// when the window is open; otherwise non-zero, and the program runs on unseen while poll_key
// reads standard input instead. Also arranges for close_window to run at exit. Later calls
// return the first call's status.
int open_window(int width, int height, int depth, int pages, bool full_screen, int refresh);

// The surface the window shows, black at first; it takes plots whether or not a window is open
// and is never freed, so the presentation may read it until the very end.
Surface& window_surface();

// Never waits and never allocates. The oldest waiting key, or the empty key when none waits:
// from the window's key queue (at most 15 keys, the oldest dropped first; its close request is
// the key 255, 'k'), or, when no window is open, from standard input.
Key poll_key();

// Stops the presentation, closes the window and gives the terminal its settings back. Runs by
// itself at exit; harmless to call again.
void close_window();

}  // namespace discsim
