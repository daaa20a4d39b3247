#include "display/presenter.h"

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <thread>

#include "display/sdl_keys.h"

namespace discsim {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto presentation_period = std::chrono::milliseconds(10);

// Everything SDL, created and used on the presentation thread only.
struct Window {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
};

// Never destroyed: no exit path can end the process on a running thread's destructor.
std::thread& presentation_thread = *new std::thread;
std::atomic<bool> stop_requested{false};

// Keeps standard error shut while SDL and the graphics drivers start: without a display they
// print their failures there, and the program writes nothing to its terminal.
class StderrSilenced {
  public:
    StderrSilenced() {
        saved_ = dup(STDERR_FILENO);
        const int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null_fd >= 0) dup2(null_fd, STDERR_FILENO);
        if (null_fd >= 0) close(null_fd);
    }
    ~StderrSilenced() {
        if (saved_ < 0) return;
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    StderrSilenced(const StderrSilenced&) = delete;
    StderrSilenced& operator=(const StderrSilenced&) = delete;

  private:
    int saved_ = -1;
};

// The program's file name without its extension.
void program_title(char* title, std::size_t size) {
    std::snprintf(title, size, "%s", program_invocation_short_name);
    char* dot = std::strrchr(title, '.');
    if (dot != nullptr && dot != title) *dot = '\0';
}

// A driver that opens windows nobody can see, chosen by SDL itself because no display answered.
bool invisible_driver_by_default() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr) return true;
    const bool invisible =
        std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
    return invisible && std::getenv("SDL_VIDEODRIVER") == nullptr;
}

void close_sdl(Window& w) {
    if (w.texture != nullptr) SDL_DestroyTexture(w.texture);
    if (w.renderer != nullptr) SDL_DestroyRenderer(w.renderer);
    if (w.window != nullptr) SDL_DestroyWindow(w.window);
    w = Window{};
    SDL_Quit();
}

SDL_Window* create_window(const char* title, const WindowRequest& request, bool full_screen) {
    Uint32 flags = SDL_WINDOW_SHOWN;
    if (full_screen) flags |= SDL_WINDOW_FULLSCREEN;
    SDL_Window* window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          request.width, request.height, flags);
    if (window != nullptr && full_screen && request.refresh > 0) {
        SDL_DisplayMode mode{SDL_PIXELFORMAT_UNKNOWN, request.width, request.height,
                             request.refresh, nullptr};
        SDL_SetWindowDisplayMode(window, &mode);
    }
    return window;
}

// Copies the surface into the streaming texture row by row, at the pitch SDL gives, and shows it.
void present(const Surface& surface, Window& w) {
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(w.texture, nullptr, &pixels, &pitch) == 0) {
        auto* row = static_cast<unsigned char*>(pixels);
        for (int y = 0; y < surface_height; ++y, row += pitch) {
            surface.copy_row(y, reinterpret_cast<std::uint32_t*>(row));
        }
        SDL_UnlockTexture(w.texture);
    }
    SDL_RenderCopy(w.renderer, w.texture, nullptr, nullptr);
    SDL_RenderPresent(w.renderer);
}

bool open_sdl_window(const WindowRequest& request, const Surface& surface, Window& w) {
    const StderrSilenced quiet;
    // Interrupts keep their default meaning; SDL would otherwise turn them into quit events.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Showing the surface is a copy into the texture and one into the window's own framebuffer,
    // all on this thread. A GL renderer would add driver threads of its own, and without a GPU
    // (a software GL, as under Xvfb) they took about three quarters of a core from the step loop,
    // against about a tenth for these copies. The environment (SDL_RENDER_DRIVER,
    // SDL_FRAMEBUFFER_ACCELERATION) still overrides both.
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
    if (invisible_driver_by_default()) {
        close_sdl(w);
        return false;
    }
    char title[256];
    program_title(title, sizeof title);
    w.window = create_window(title, request, request.full_screen);
    if (w.window == nullptr && !request.full_screen) w.window = create_window(title, request, true);
    if (w.window != nullptr) w.renderer = SDL_CreateRenderer(w.window, -1, 0);
    if (w.window != nullptr && w.renderer == nullptr) {
        w.renderer = SDL_CreateRenderer(w.window, -1, SDL_RENDERER_SOFTWARE);
    }
    if (w.renderer != nullptr) {
        // Full screen may have another size than the surface: the picture keeps its proportions.
        SDL_RenderSetLogicalSize(w.renderer, surface_width, surface_height);
        // The top byte of a pixel is never shown and nothing is blended.
        w.texture = SDL_CreateTexture(w.renderer, SDL_PIXELFORMAT_RGB888,
                                      SDL_TEXTUREACCESS_STREAMING, surface_width, surface_height);
    }
    if (w.texture == nullptr) {
        close_sdl(w);
        return false;
    }
    SDL_SetTextureBlendMode(w.texture, SDL_BLENDMODE_NONE);
    SDL_RaiseWindow(w.window);
    SDL_SetWindowInputFocus(w.window);
    present(surface, w);
    return true;
}

void run_presentation(WindowRequest request, const Surface* surface, KeyQueue* keys,
                      std::promise<bool> opened) {
    Window w;
    if (!open_sdl_window(request, *surface, w)) {
        opened.set_value(false);
        return;
    }
    opened.set_value(true);
    auto next = Clock::now();
    while (!stop_requested.load(std::memory_order_acquire)) {
        SDL_Event event;
        while (SDL_PollEvent(&event) != 0)
            queue_keys_of_event(event, *keys);
        present(*surface, w);
        next += presentation_period;
        const auto now = Clock::now();
        if (next < now) next = now;  // after a stall, start the period afresh rather than catch up
        std::this_thread::sleep_until(next);
    }
    close_sdl(w);
}

}  // namespace

bool start_presenter(const WindowRequest& request, const Surface& surface, KeyQueue& keys) {
    if (presentation_thread.joinable()) return true;
    if (request.width != surface_width || request.height != surface_height || request.pages != 1) {
        return false;
    }
    std::promise<bool> opened;
    std::future<bool> result = opened.get_future();
    stop_requested.store(false, std::memory_order_release);
    presentation_thread =
        std::thread(run_presentation, request, &surface, &keys, std::move(opened));
    if (result.get()) return true;
    presentation_thread.join();
    return false;
}

void stop_presenter() {
    if (!presentation_thread.joinable()) return;
    stop_requested.store(true, std::memory_order_release);
    presentation_thread.join();
}

}  // namespace discsim
