#pragma once

#include <memory>
#include <mutex>
#include <utility>

namespace zk::core::detail {

// A shared pointer that any thread may load, store or exchange; each operation is one pointer copy or
// swap under a lock that is never held while a pointee is built or released. Stands in for
// std::atomic<std::shared_ptr<T>>, whose libstdc++ 12 load releases its internal lock with relaxed
// order, so that a store after a load is not ordered after it.
template <typename T>
class SnapshotSlot {
  public:
    [[nodiscard]] std::shared_ptr<T> load() const {
        const std::lock_guard lock(mutex_);
        return value_;
    }

    // The old value is released by the caller, outside the lock.
    std::shared_ptr<T> exchange(std::shared_ptr<T> value) {
        {
            const std::lock_guard lock(mutex_);
            value_.swap(value);
        }
        return value;
    }

    void store(std::shared_ptr<T> value) { exchange(std::move(value)); }

  private:
    mutable std::mutex mutex_;  // guards value_ for the one copy or swap of each call, from any thread
    std::shared_ptr<T> value_;
};

}  // namespace zk::core::detail
