// Keys from standard input, for when no window could be opened: the escape key typed in the
// terminal still ends the program.
#pragma once

#include <array>
#include <cstddef>

#include "display/key.h"

namespace discsim {

// Decodes the key at the front of bytes as a terminal sends it and sets used to the bytes it
// took (at least 1; count must be at least 1). A lone escape byte is the escape key; the escape
// sequences of arrow, function and editing keys become two-byte keys (255 and a code), unknown
// sequences the two bytes 255, 0; every other byte is a one-byte key.
Key decode_terminal_key(const unsigned char* bytes, std::size_t count, std::size_t& used);

// Reads keys from one file descriptor without ever waiting. A terminal is switched to reading
// without echo and without line buffering (interrupt keys still work) and its escape sequences
// are decoded; any other input (a pipe, a file) gives each byte as a key, and after its end no
// more keys arrive.
class TerminalKeys {
  public:
    TerminalKeys() = default;
    TerminalKeys(const TerminalKeys&) = delete;
    TerminalKeys& operator=(const TerminalKeys&) = delete;
    ~TerminalKeys() { restore(); }

    // Starts reading fd. For a terminal, its settings are saved first and given back by restore()
    // and on SIGINT, SIGTERM, SIGHUP and SIGQUIT, each of which then ends the process as it would
    // have by default (a signal that was ignored or already handled is left alone). Only one
    // terminal is read at a time. A background job's terminal is left alone and gives no keys.
    void start(int fd);

    // The oldest key not yet taken, or the empty key when none is waiting. Never waits and never
    // allocates: at most one poll and one read of the descriptor.
    Key poll();

    // Gives the terminal its saved settings back; harmless when there are none.
    void restore();

    bool is_terminal() const { return is_terminal_; }

  private:
    void refill();

    int fd_ = -1;
    bool is_terminal_ = false;
    bool at_end_ = false;
    std::array<unsigned char, 64> buffer_{};
    std::size_t begin_ = 0;  // unread bytes are buffer_[begin_, end_)
    std::size_t end_ = 0;
};

}  // namespace discsim
