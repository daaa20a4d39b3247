// One key as the program reads it: up to two bytes, held by value so that reading a key never
// allocates.
#pragma once

#include <array>
#include <cstdint>

namespace discsim {

// The empty key (length 0) means no key was waiting. A key that produces a character is that one
// byte; a key that produces none is two bytes, 255 and a code.
struct Key {
    std::array<unsigned char, 2> bytes{};
    std::uint8_t length = 0;

    bool empty() const { return length == 0; }
    friend bool operator==(const Key& a, const Key& b) {
        return a.length == b.length && (a.length < 1 || a.bytes[0] == b.bytes[0]) &&
               (a.length < 2 || a.bytes[1] == b.bytes[1]);
    }
};

// A key that produces the character with this code.
constexpr Key character_key(unsigned char code) {
    return Key{{code, 0}, 1};
}

// A key that produces no character: 255, then its code.
constexpr Key extended_key(unsigned char code) {
    return Key{{255, code}, 2};
}

// The codes of keys that produce no character: the PC keyboard's scan codes, so that every such
// key has one fixed, well-known code.
namespace key_code {
inline constexpr unsigned char unknown = 0;
inline constexpr unsigned char shift_tab = 15;
inline constexpr unsigned char f1 = 59;  // f1..f10 are 59..68
inline constexpr unsigned char f10 = 68;
inline constexpr unsigned char home = 71;
inline constexpr unsigned char up = 72;
inline constexpr unsigned char page_up = 73;
inline constexpr unsigned char left = 75;
inline constexpr unsigned char right = 77;
inline constexpr unsigned char end = 79;
inline constexpr unsigned char down = 80;
inline constexpr unsigned char page_down = 81;
inline constexpr unsigned char insert = 82;
inline constexpr unsigned char del = 83;
inline constexpr unsigned char close = 'k';  // the window's close request (the code of alt+F4)
inline constexpr unsigned char f11 = 133;
inline constexpr unsigned char f12 = 134;
}  // namespace key_code

inline constexpr Key escape_string = character_key(27);
inline constexpr Key close_request = extended_key(key_code::close);

}  // namespace discsim
