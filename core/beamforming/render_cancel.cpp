#include "core/beamforming/render_cancel.h"

#include <stdexcept>

namespace zk::core {
namespace {

thread_local const RenderCancel* currentTest = nullptr;  // this thread's innermost scope, or null

}  // namespace

RenderCancelScope::RenderCancelScope(const RenderCancel& cancel) : previous_(currentTest) {
    currentTest = cancel ? &cancel : nullptr;
}

RenderCancelScope::~RenderCancelScope() { currentTest = previous_; }

detail::CancelPoll::CancelPoll() : test_(currentTest) {}

void detail::CancelPoll::throwIfRequested() const {
    if (requested()) throwCancelled();
}

void detail::throwCancelled() { throw std::runtime_error(kComputationCancelledText); }

}  // namespace zk::core
