#include "display/key_queue.h"

namespace discsim {

void KeyQueue::push(const Key& key) {
    const std::lock_guard guard(lock_);
    if (count_ == capacity) {
        first_ = (first_ + 1) % capacity;
        --count_;
    }
    ring_[(first_ + count_) % capacity] = key;
    ++count_;
}

Key KeyQueue::pop() {
    const std::lock_guard guard(lock_);
    if (count_ == 0) return Key{};
    const Key key = ring_[first_];
    first_ = (first_ + 1) % capacity;
    --count_;
    return key;
}

void KeyQueue::clear() {
    const std::lock_guard guard(lock_);
    first_ = 0;
    count_ = 0;
}

}  // namespace discsim
