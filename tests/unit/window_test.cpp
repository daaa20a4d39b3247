// The display facility's whole path, window thread included, on SDL's offscreen driver: keys
// put into the window system's event queue come out of poll_key, and closing is clean. Its own
// program, since a process opens its window once.
#include "display/window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "key_printing.h"

namespace discsim {
namespace {

Key next_key() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        const Key key = poll_key();
        if (!key.empty() || std::chrono::steady_clock::now() > deadline) return key;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

SDL_Event key_down(SDL_Keycode sym) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = sym;
    return e;
}

SDL_Event text(char c) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.text[0] = c;
    return e;
}

SDL_Event close_button() {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    return e;
}

// Pushes all events at once, so that the window's thread takes them in one go.
void push(std::vector<SDL_Event> events) {
    for (SDL_Event& e : events)
        ASSERT_EQ(SDL_PushEvent(&e), 1);
}

TEST(Window, KeysReachPollKeyInOrderThroughTheWindowThreadAndClosingIsClean) {
    // Asked for by name, the offscreen driver counts as a window.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    ASSERT_EQ(open_window(surface_width, surface_height, 24, 1, false, 0), 0);
    EXPECT_EQ(open_window(surface_width, surface_height, 24, 1, false, 0), 0) << "opens once";
    EXPECT_TRUE(poll_key().empty());

    push({text(' '), key_down(SDLK_UP), close_button(), key_down(SDLK_ESCAPE)});
    EXPECT_EQ(next_key(), character_key(' '));
    EXPECT_EQ(next_key(), extended_key(key_code::up));
    EXPECT_EQ(next_key(), close_request);
    EXPECT_EQ(next_key(), escape_string);
    EXPECT_TRUE(poll_key().empty());

    // Twenty keys at once: the queue keeps the newest fifteen.
    std::vector<SDL_Event> twenty;
    for (char c = 'a'; c < 'a' + 20; ++c)
        twenty.push_back(text(c));
    push(twenty);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (char c = 'f'; c < 'a' + 20; ++c)
        EXPECT_EQ(next_key(), character_key(c));
    EXPECT_TRUE(poll_key().empty());

    // Plots land in the surface the window shows while its thread reads it.
    Surface& surface = window_surface();
    for (int i = 0; i < 100000; ++i)
        plot_pixel(surface, 639.5f, 383.5f, 0xFFFF0000u);
    EXPECT_EQ(surface.pixel(640, 384), 0xFFFF0000u);

    close_window();
    close_window();
    EXPECT_TRUE(poll_key().empty());
}

}  // namespace
}  // namespace discsim
