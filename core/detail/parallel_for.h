#pragma once

#include <atomic>
#include <cstdint>
#include <exception>

namespace zk::core::detail {

// Runs body(i) for i = 0 .. count - 1 on an OpenMP team of `threads` with a static schedule. An
// exception leaving an OpenMP region would terminate the process, so the first one a worker throws
// (an allocation failure inside a decomposition, say) is kept and rethrown on the calling thread once
// the team has joined; the remaining iterations still run.
template <typename Body>
void parallelFor(std::int64_t count, int threads, Body&& body) {
    std::exception_ptr failure;
#pragma omp parallel for num_threads(threads) schedule(static)
    for (std::int64_t i = 0; i < count; ++i) {
        try {
            body(i);
        } catch (...) {
#pragma omp critical(zk_parallel_for_failure)
            if (!failure) {
                failure = std::current_exception();
            }
        }
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

// A cancel shared by an OpenMP team, which may not throw out of its region: each member asks stop()
// before an item, the first whose poll says stop raises the flag, the others skip their remaining items
// on seeing it, and the caller throws once the team has joined if raised(). `Poll` offers a
// thread-safe requested().
template <typename Poll>
class TeamCancel {
  public:
    explicit TeamCancel(const Poll& poll) : poll_(poll) {}
    TeamCancel(const TeamCancel&) = delete;
    TeamCancel& operator=(const TeamCancel&) = delete;

    // True when this item and every later one should be skipped. Once raised the poll is not asked
    // again, so each member asks it at most once after the request.
    bool stop() {
        if (raised_.load(std::memory_order_relaxed)) return true;
        if (!poll_.requested()) return false;
        raised_.store(true, std::memory_order_relaxed);
        return true;
    }

    // Read after the team has joined, whose barrier orders every member's store before it.
    [[nodiscard]] bool raised() const { return raised_.load(std::memory_order_relaxed); }

  private:
    const Poll& poll_;
    std::atomic<bool> raised_{false};  // raised by any team member whose poll said stop; read by all
};

}  // namespace zk::core::detail
