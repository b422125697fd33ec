#pragma once

#include <cstdint>
#include <functional>

// Cancellation of a map render. The renderer installs the caller's test for the duration of the render
// (RenderCancelScope); the algorithms below it poll that test between bins, solver iterations and long
// steps, and end with the same error as a cancelled window read. Renders without a scope (the live path)
// pay one thread-local read per poll.
namespace zk::core {

// The text of a cancelled recompute, from the window read to the last solver pass.
inline constexpr const char* kComputationCancelledText = "Band matrix computation cancelled";

// Returns true once the render should end. Called from the render's OpenMP threads at once, so it must be
// safe to call concurrently (read atomics). May be empty.
using RenderCancel = std::function<bool()>;

// Makes `cancel` the test polled by the renders on this thread until the scope ends (the innermost scope
// holds). Keeps a reference: `cancel` must outlive the scope.
class RenderCancelScope {
  public:
    explicit RenderCancelScope(const RenderCancel& cancel);
    ~RenderCancelScope();
    RenderCancelScope(const RenderCancelScope&) = delete;
    RenderCancelScope& operator=(const RenderCancelScope&) = delete;

  private:
    const RenderCancel* previous_;
};

namespace detail {

// The loops of a render that poll the test on every pass, named so that a test can watch a render reach
// one of them.
enum class RenderLoop : std::uint8_t { kPointSpread, kDamas, kGradient, kCleanSc, kSbl, kWeightedPoints };

// Test hook: called at the top of every pass of a named loop, before its poll, on the thread running the
// pass (an OpenMP team member for kPointSpread and kWeightedPoints), so it must be safe to call
// concurrently.
using RenderLoopObserver = std::function<void(RenderLoop)>;

// Makes `observer` watch the renders started on this thread until the scope ends. Keeps a reference.
class RenderLoopObserverScope {
  public:
    explicit RenderLoopObserverScope(const RenderLoopObserver& observer);
    ~RenderLoopObserverScope();
    RenderLoopObserverScope(const RenderLoopObserverScope&) = delete;
    RenderLoopObserverScope& operator=(const RenderLoopObserverScope&) = delete;

  private:
    const RenderLoopObserver* previous_;
};

// The calling thread's test, captured at construction so that an OpenMP team polls the same one.
class CancelPoll {
  public:
    CancelPoll();
    [[nodiscard]] bool requested() const { return test_ != nullptr && (*test_)(); }
    // Throws std::runtime_error with kComputationCancelledText when requested.
    void throwIfRequested() const;
    // Tells the observer, if any, that a pass of `loop` begins.
    void entering(RenderLoop loop) const {
        if (observer_ != nullptr) (*observer_)(loop);
    }

  private:
    const RenderCancel* test_;
    const RenderLoopObserver* observer_;
};

[[noreturn]] void throwCancelled();

}  // namespace detail
}  // namespace zk::core
