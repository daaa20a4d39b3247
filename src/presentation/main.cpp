// discsim: the turning disc in its window, until the escape key or the last step.
#include <memory>
#include <optional>

#include "display/window.h"
#include "presentation/run_loop.h"

int main() {
    using namespace discsim;
    // The window comes first; without one the program runs on unseen and reads the terminal.
    open_window(surface_width, surface_height, 24, 1, false, 0);
    auto state = std::make_unique<DiscState>();
    start_disc(*state, window_surface(), DiscParameters{}, std::nullopt);
    run_steps(*state, window_surface(), step_limit, [] { return poll_key(); });
    // Both endings: the window closes and the terminal gets its settings back before the exit.
    close_window();
    return 0;
}
