// The window itself and the thread that owns it: the one part of the program that talks to SDL.
#pragma once

#include "display/key_queue.h"
#include "display/surface.h"

namespace discsim {

// What the program asks of its window.
struct WindowRequest {
    int width;
    int height;
    int depth;
    int pages;
    bool full_screen;
    int refresh;  // 0: the display's own rate
};

// Starts the presentation thread, which opens the window (trying full screen once when a windowed
// one cannot be had) and returns true once it is open: centred, titled with the program's file
// name without extension, in front and with the keyboard focus. From then on the thread shows the
// surface about every 10 ms and puts the window's keys into the queue. Returns false, with no
// thread left running, when no window can be opened; a window that no one can see (SDL's
// offscreen and dummy drivers) counts as none unless asked for through SDL_VIDEODRIVER. The
// surface and the queue must outlive the thread.
bool start_presenter(const WindowRequest& request, const Surface& surface, KeyQueue& keys);

// Stops the presentation thread, waits for it and closes the window; does nothing when none runs.
void stop_presenter();

}  // namespace discsim
