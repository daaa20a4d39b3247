#include "display/window.h"

#include <unistd.h>

#include <cstdlib>

#include "display/key_queue.h"
#include "display/presenter.h"
#include "display/terminal_keys.h"

namespace discsim {

namespace {

enum class KeySource { none, window, terminal };

// The facility's state, created on first use and never destroyed, so that nothing is freed
// under the presentation thread however the process ends.
struct Facility {
    Surface surface;
    KeyQueue keys;
    TerminalKeys terminal;
    KeySource source = KeySource::none;
    bool opened = false;
    int status = 1;
};

Facility& facility() {
    static Facility* const f = new Facility;
    return *f;
}

}  // namespace

int open_window(int width, int height, int depth, int pages, bool full_screen, int refresh) {
    Facility& f = facility();
    if (f.opened) return f.status;
    f.opened = true;
    std::atexit(close_window);
    const WindowRequest request{width, height, depth, pages, full_screen, refresh};
    if (start_presenter(request, f.surface, f.keys)) {
        f.source = KeySource::window;
        f.status = 0;
    } else {
        f.terminal.start(STDIN_FILENO);
        f.source = KeySource::terminal;
        f.status = 1;
    }
    return f.status;
}

Surface& window_surface() {
    return facility().surface;
}

Key poll_key() {
    Facility& f = facility();
    switch (f.source) {
        case KeySource::window:
            return f.keys.pop();
        case KeySource::terminal:
            return f.terminal.poll();
        case KeySource::none:
            break;
    }
    return Key{};
}

void close_window() {
    Facility& f = facility();
    stop_presenter();
    f.terminal.restore();
}

}  // namespace discsim
