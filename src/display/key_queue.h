// The keys waiting to be read: filled by the window's thread, emptied by the program's.
#pragma once

#include <array>
#include <cstddef>
#include <mutex>

#include "display/key.h"

namespace discsim {

// At most 15 unread keys, oldest first; a key arriving at a full queue drops the oldest. One small
// lock guards the ring, held only for a copy of a few bytes, so neither side waits for long.
class KeyQueue {
  public:
    static constexpr std::size_t capacity = 15;

    // Adds a key behind the others, dropping the oldest when 15 are waiting already.
    void push(const Key& key);

    // Removes and returns the oldest key; the empty key when none is waiting. Never allocates.
    Key pop();

    // Forgets every waiting key.
    void clear();

  private:
    std::mutex lock_;
    std::array<Key, capacity> ring_{};
    std::size_t first_ = 0;  // slot of the oldest key
    std::size_t count_ = 0;
};

}  // namespace discsim
