#include "display/sdl_keys.h"

#include <SDL.h>

namespace discsim {

namespace {

// The code of a key that produces no character, or unknown for keys that are not keys of their
// own (modifiers, lock keys) or have no code.
unsigned char extended_code(SDL_Keycode sym) {
    switch (sym) {
        case SDLK_UP:
            return key_code::up;
        case SDLK_DOWN:
            return key_code::down;
        case SDLK_LEFT:
            return key_code::left;
        case SDLK_RIGHT:
            return key_code::right;
        case SDLK_HOME:
            return key_code::home;
        case SDLK_END:
            return key_code::end;
        case SDLK_PAGEUP:
            return key_code::page_up;
        case SDLK_PAGEDOWN:
            return key_code::page_down;
        case SDLK_INSERT:
            return key_code::insert;
        case SDLK_DELETE:
            return key_code::del;
        case SDLK_F11:
            return key_code::f11;
        case SDLK_F12:
            return key_code::f12;
        default:
            break;
    }
    if (sym >= SDLK_F1 && sym <= SDLK_F10) {
        return static_cast<unsigned char>(key_code::f1 + (sym - SDLK_F1));
    }
    return key_code::unknown;
}

// The control character of a key that produces one, or 0. Printable characters come as text
// input instead, which follows the keyboard layout and shift.
unsigned char control_character(const SDL_Keysym& keysym) {
    switch (keysym.sym) {
        case SDLK_ESCAPE:
            return 27;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return 13;
        case SDLK_BACKSPACE:
            return 8;
        case SDLK_TAB:
            return 9;
        default:
            break;
    }
    // Control+letter types the letter's control code, which the window system sends as no text.
    if ((keysym.mod & KMOD_CTRL) != 0 && keysym.sym >= SDLK_a && keysym.sym <= SDLK_z) {
        return static_cast<unsigned char>(keysym.sym - SDLK_a + 1);
    }
    return 0;
}

// Queues each character of UTF-8 text whose code fits in one byte (ASCII and Latin-1).
void queue_text(const char* text, KeyQueue& queue) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p != 0) {
        if (*p < 0x80) {
            queue.push(character_key(*p));
            ++p;
            continue;
        }
        // A two-byte sequence 110000xx 10xxxxxx is a code point 0x80..0xFF.
        if ((p[0] == 0xC2 || p[0] == 0xC3) && (p[1] & 0xC0) == 0x80) {
            queue.push(
                character_key(static_cast<unsigned char>(((p[0] & 0x03) << 6) | (p[1] & 0x3F))));
            p += 2;
            continue;
        }
        ++p;  // any other character has no one-byte code: skip its bytes
        while ((*p & 0xC0) == 0x80)
            ++p;
    }
}

}  // namespace

void queue_keys_of_event(const SDL_Event& event, KeyQueue& queue) {
    switch (event.type) {
        case SDL_TEXTINPUT:
            queue_text(event.text.text, queue);
            break;
        case SDL_KEYDOWN: {
            const unsigned char control = control_character(event.key.keysym);
            if (control != 0) {
                queue.push(character_key(control));
                break;
            }
            const unsigned char code = extended_code(event.key.keysym.sym);
            if (code != key_code::unknown) queue.push(extended_key(code));
            break;
        }
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) queue.push(close_request);
            break;
        default:
            break;
    }
}

}  // namespace discsim
