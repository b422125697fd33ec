#include "core/beamforming/render_cancel.h"

#include <stdexcept>

namespace zk::core {
namespace {

thread_local const RenderCancel* currentTest = nullptr;  // this thread's innermost scope, or null
thread_local const detail::RenderLoopObserver* currentObserver = nullptr;  // likewise, for the test hook

}  // namespace

RenderCancelScope::RenderCancelScope(const RenderCancel& cancel) : previous_(currentTest) {
    currentTest = cancel ? &cancel : nullptr;
}

RenderCancelScope::~RenderCancelScope() { currentTest = previous_; }

detail::RenderLoopObserverScope::RenderLoopObserverScope(const RenderLoopObserver& observer)
    : previous_(currentObserver) {
    currentObserver = observer ? &observer : nullptr;
}

detail::RenderLoopObserverScope::~RenderLoopObserverScope() { currentObserver = previous_; }

detail::CancelPoll::CancelPoll() : test_(currentTest), observer_(currentObserver) {}

void detail::CancelPoll::throwIfRequested() const {
    if (requested()) throwCancelled();
}

void detail::throwCancelled() { throw std::runtime_error(kComputationCancelledText); }

}  // namespace zk::core
