#include "display/terminal_keys.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace discsim {

namespace {

// The cursor keys, Home and End, whose final byte is the same in the "ESC O x" and "ESC [ x" forms.
unsigned char cursor_code(unsigned char final) {
    switch (final) {
        case 'A':
            return key_code::up;
        case 'B':
            return key_code::down;
        case 'C':
            return key_code::right;
        case 'D':
            return key_code::left;
        case 'H':
            return key_code::home;
        case 'F':
            return key_code::end;
        default:
            return key_code::unknown;
    }
}

// The code of the key that ends an escape sequence "ESC O x" (sent by keypads in application
// mode and by F1..F4 as P..S).
unsigned char ss3_code(unsigned char final) {
    if (final >= 'P' && final <= 'S')
        return static_cast<unsigned char>(key_code::f1 + (final - 'P'));
    return cursor_code(final);
}

// The code of "ESC [ n ~", the form of editing keys and of F1..F12 in xterm-like terminals.
unsigned char tilde_code(int n) {
    switch (n) {
        case 1:
        case 7:
            return key_code::home;
        case 2:
            return key_code::insert;
        case 3:
            return key_code::del;
        case 4:
        case 8:
            return key_code::end;
        case 5:
            return key_code::page_up;
        case 6:
            return key_code::page_down;
        case 23:
            return key_code::f11;
        case 24:
            return key_code::f12;
        default:
            break;
    }
    if (n >= 11 && n <= 15) return static_cast<unsigned char>(key_code::f1 + (n - 11));
    if (n >= 17 && n <= 21) return static_cast<unsigned char>(key_code::f1 + 5 + (n - 17));
    return key_code::unknown;
}

// The code of "ESC [ params final" for a final byte other than '~'; modifiers are ignored.
unsigned char csi_code(unsigned char final) {
    if (final == 'Z') return key_code::shift_tab;
    return cursor_code(final);
}

// What a signal handler needs to give the terminal back: written before `saved_valid` is set.
int saved_fd = -1;
termios saved_settings{};
volatile std::sig_atomic_t saved_valid = 0;

constexpr int restoring_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr std::size_t restoring_signal_count = std::size(restoring_signals);
struct sigaction previous_actions[restoring_signal_count];
bool installed[restoring_signal_count] = {};

// Gives the terminal back, then ends the process the way the signal's default would: the signal
// raised again stays pending while this handler runs and is delivered, now with its default
// action, as it returns.
extern "C" void restore_terminal_and_end(int signal_number) {
    if (saved_valid) tcsetattr(saved_fd, TCSANOW, &saved_settings);
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    sigaction(signal_number, &default_action, nullptr);
    raise(signal_number);
}

void install_restoring_handlers() {
    for (std::size_t i = 0; i < restoring_signal_count; ++i) {
        struct sigaction current {};
        if (sigaction(restoring_signals[i], nullptr, &current) != 0) continue;
        const bool is_default =
            (current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_DFL;
        if (!is_default) continue;
        struct sigaction action {};
        action.sa_handler = restore_terminal_and_end;
        sigemptyset(&action.sa_mask);
        for (int s : restoring_signals)
            sigaddset(&action.sa_mask, s);
        if (sigaction(restoring_signals[i], &action, &previous_actions[i]) == 0)
            installed[i] = true;
    }
}

void remove_restoring_handlers() {
    for (std::size_t i = 0; i < restoring_signal_count; ++i) {
        if (installed[i]) sigaction(restoring_signals[i], &previous_actions[i], nullptr);
        installed[i] = false;
    }
}

}  // namespace

Key decode_terminal_key(const unsigned char* bytes, std::size_t count, std::size_t& used) {
    used = 1;
    if (bytes[0] != 27 || count == 1) return character_key(bytes[0]);
    if (bytes[1] == 'O') {
        used = count < 3 ? 2 : 3;
        return extended_key(count < 3 ? key_code::unknown : ss3_code(bytes[2]));
    }
    // An escape followed by anything but the two sequence introducers is the escape key itself.
    if (bytes[1] != '[') return escape_string;

    // The Linux console's F1..F5: ESC [ [ A..E.
    if (count >= 4 && bytes[2] == '[') {
        used = 4;
        const bool f1_to_f5 = bytes[3] >= 'A' && bytes[3] <= 'E';
        return extended_key(f1_to_f5 ? static_cast<unsigned char>(key_code::f1 + (bytes[3] - 'A'))
                                     : key_code::unknown);
    }

    // ESC [ parameters intermediates final: the first parameter picks the key of a '~' sequence.
    std::size_t i = 2;
    int first_parameter = 0;
    bool in_first_parameter = true;
    for (; i < count && bytes[i] >= 0x30 && bytes[i] <= 0x3F; ++i) {
        if (bytes[i] >= '0' && bytes[i] <= '9') {
            if (in_first_parameter && first_parameter < 1000) {
                first_parameter = first_parameter * 10 + (bytes[i] - '0');
            }
        } else {
            in_first_parameter = false;
        }
    }
    for (; i < count && bytes[i] >= 0x20 && bytes[i] <= 0x2F; ++i) {
    }
    if (i == count || bytes[i] < 0x40 || bytes[i] > 0x7E) {
        // Cut short or malformed: the whole of it is one unknown key, never the escape key.
        used = i == count ? count : i;
        return extended_key(key_code::unknown);
    }
    used = i + 1;
    return extended_key(bytes[i] == '~' ? tilde_code(first_parameter) : csi_code(bytes[i]));
}

void TerminalKeys::start(int fd) {
    restore();
    fd_ = fd;
    at_end_ = false;
    begin_ = end_ = 0;
    termios settings{};
    is_terminal_ = isatty(fd) == 1 && tcgetattr(fd, &settings) == 0;
    if (!is_terminal_) return;
    // A background job may neither change nor read its terminal (it would be stopped), and the
    // terminal's keys belong to the foreground job: it reads no keys at all.
    const pid_t foreground = tcgetpgrp(fd);
    if (foreground != -1 && foreground != getpgrp()) {
        is_terminal_ = false;
        at_end_ = true;
        return;
    }

    saved_fd = fd;
    saved_settings = settings;
    saved_valid = 1;
    install_restoring_handlers();

    // No echo, no line buffering, and a read that returns at once with what is there; ISIG stays
    // on so that the interrupt key still interrupts.
    settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &settings);
}

void TerminalKeys::restore() {
    if (!is_terminal_ || !saved_valid) return;
    tcsetattr(saved_fd, TCSANOW, &saved_settings);
    saved_valid = 0;
    remove_restoring_handlers();
}

void TerminalKeys::refill() {
    if (at_end_ || fd_ < 0) return;
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == buffer_.size()) return;
    pollfd request{fd_, POLLIN, 0};
    if (::poll(&request, 1, 0) <= 0) return;
    if ((request.revents & POLLNVAL) != 0) {
        at_end_ = true;
        return;
    }
    const ssize_t n = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
    if (n > 0) {
        end_ += static_cast<std::size_t>(n);
    } else if (n == 0) {
        // A terminal in this mode also reads 0 bytes when none are waiting; it has ended only
        // when it has hung up.
        if (!is_terminal_ || (request.revents & POLLHUP) != 0) at_end_ = true;
    } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        at_end_ = true;
    }
}

Key TerminalKeys::poll() {
    // Topping up before decoding keeps an escape sequence from being cut at the buffer's end.
    if (end_ - begin_ < 8) refill();
    if (begin_ == end_) return Key{};
    if (!is_terminal_) return character_key(buffer_[begin_++]);
    std::size_t used = 1;
    const Key key = decode_terminal_key(buffer_.data() + begin_, end_ - begin_, used);
    begin_ += used;
    return key;
}

}  // namespace discsim
