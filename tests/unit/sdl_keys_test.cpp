#include "display/sdl_keys.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "key_printing.h"

namespace discsim {
namespace {

std::vector<Key> keys_of(const SDL_Event& event) {
    KeyQueue queue;
    queue_keys_of_event(event, queue);
    std::vector<Key> keys;
    for (Key k = queue.pop(); !k.empty(); k = queue.pop())
        keys.push_back(k);
    return keys;
}

SDL_Event key_event(Uint32 type, SDL_Keycode sym, Uint16 mod = KMOD_NONE, Uint8 repeat = 0) {
    SDL_Event e{};
    e.type = type;
    e.key.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat;
    e.key.keysym.sym = sym;
    e.key.keysym.scancode = SDL_GetScancodeFromKey(sym);
    e.key.keysym.mod = mod;
    return e;
}

SDL_Event text_event(const std::string& text) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    std::strncpy(e.text.text, text.c_str(), sizeof e.text.text - 1);
    return e;
}

TEST(SdlKeys, KeyPressesThatTypeNoPrintableCharacterBecomeTheirKeys) {
    struct Case {
        SDL_Keycode sym;
        Uint16 mod;
        std::vector<Key> expected;
    };
    const Case cases[] = {
        {SDLK_ESCAPE, KMOD_NONE, {escape_string}},
        {SDLK_ESCAPE, KMOD_LSHIFT, {escape_string}},
        {SDLK_RETURN, KMOD_NONE, {character_key(13)}},
        {SDLK_BACKSPACE, KMOD_NONE, {character_key(8)}},
        {SDLK_TAB, KMOD_NONE, {character_key(9)}},
        {SDLK_c, KMOD_LCTRL, {character_key(3)}},
        {SDLK_z, KMOD_RCTRL, {character_key(26)}},
        {SDLK_UP, KMOD_NONE, {extended_key(key_code::up)}},
        {SDLK_DOWN, KMOD_NONE, {extended_key(key_code::down)}},
        {SDLK_LEFT, KMOD_NONE, {extended_key(key_code::left)}},
        {SDLK_RIGHT, KMOD_LCTRL, {extended_key(key_code::right)}},
        {SDLK_HOME, KMOD_NONE, {extended_key(key_code::home)}},
        {SDLK_END, KMOD_NONE, {extended_key(key_code::end)}},
        {SDLK_PAGEUP, KMOD_NONE, {extended_key(key_code::page_up)}},
        {SDLK_PAGEDOWN, KMOD_NONE, {extended_key(key_code::page_down)}},
        {SDLK_INSERT, KMOD_NONE, {extended_key(key_code::insert)}},
        {SDLK_DELETE, KMOD_NONE, {extended_key(key_code::del)}},
        {SDLK_F1, KMOD_NONE, {extended_key(key_code::f1)}},
        {SDLK_F4, KMOD_LALT, {extended_key(key_code::f1 + 3)}},
        {SDLK_F10, KMOD_NONE, {extended_key(key_code::f10)}},
        {SDLK_F11, KMOD_NONE, {extended_key(key_code::f11)}},
        {SDLK_F12, KMOD_NONE, {extended_key(key_code::f12)}},
        // Printable keys come as text input, so their key presses add nothing themselves.
        {SDLK_a, KMOD_NONE, {}},
        {SDLK_SPACE, KMOD_NONE, {}},
        {SDLK_a, KMOD_LSHIFT, {}},
        // Modifiers and lock keys alone are no keys.
        {SDLK_LSHIFT, KMOD_LSHIFT, {}},
        {SDLK_LCTRL, KMOD_LCTRL, {}},
        {SDLK_CAPSLOCK, KMOD_NONE, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(keys_of(key_event(SDL_KEYDOWN, c.sym, c.mod)), c.expected)
            << SDL_GetKeyName(c.sym);
        // Releasing a key adds nothing.
        EXPECT_TRUE(keys_of(key_event(SDL_KEYUP, c.sym, c.mod)).empty()) << SDL_GetKeyName(c.sym);
    }
}

TEST(SdlKeys, EachAutomaticRepeatIsAKeyOfItsOwn) {
    KeyQueue queue;
    queue_keys_of_event(key_event(SDL_KEYDOWN, SDLK_UP), queue);
    for (int i = 0; i < 3; ++i)
        queue_keys_of_event(key_event(SDL_KEYDOWN, SDLK_UP, KMOD_NONE, 1), queue);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(queue.pop(), extended_key(key_code::up));
    EXPECT_TRUE(queue.pop().empty());
}

TEST(SdlKeys, TypedTextGivesOneKeyPerCharacterWithAOneByteCode) {
    struct Case {
        std::string text;
        std::vector<Key> expected;
    };
    const Case cases[] = {
        {"a", {character_key('a')}},
        {"A", {character_key('A')}},
        {" ", {character_key(' ')}},
        {"~", {character_key('~')}},
        {"ab", {character_key('a'), character_key('b')}},
        {"\xc3\xa9", {character_key(0xe9)}},  // e acute, Latin-1 0xE9
        {"\xc2\xa3", {character_key(0xa3)}},  // pound sign
        {"\xe2\x82\xac", {}},                 // the euro sign has no one-byte code
        {"x\xe2\x82\xacy", {character_key('x'), character_key('y')}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(keys_of(text_event(c.text)), c.expected) << testing::PrintToString(c.text);
    }
}

TEST(SdlKeys, TheCloseRequestIsTheKey255kAndOtherWindowEventsAreNone) {
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    EXPECT_EQ(keys_of(close), std::vector<Key>{close_request});
    const Key expected_bytes{{255, 'k'}, 2};
    EXPECT_EQ(close_request, expected_bytes);

    SDL_Event exposed = close;
    exposed.window.event = SDL_WINDOWEVENT_EXPOSED;
    EXPECT_TRUE(keys_of(exposed).empty());
    SDL_Event quit{};
    quit.type = SDL_QUIT;  // follows the close request of the last window: not a second key
    EXPECT_TRUE(keys_of(quit).empty());
}

}  // namespace
}  // namespace discsim
