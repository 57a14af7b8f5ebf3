#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>

namespace routalo {

// A queue of one item between two threads: Push waits until the slot is
// free, Pop until it holds an item.
template <typename Item>
class OneSlotQueue {
  public:
    void Push(Item item) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return !slot_.has_value(); });
            slot_.emplace(std::move(item));
        }
        changed_.notify_all();
    }

    [[nodiscard]] Item Pop() {
        std::optional<Item> item;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return slot_.has_value(); });
            item.swap(slot_);
        }
        changed_.notify_all();
        return std::move(*item);
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<Item> slot_;
};

}  // namespace routalo
