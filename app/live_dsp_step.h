#pragma once

#include "app/sample_block_queue.h"

namespace zk::core {
class StreamingAcousticEngine;
}  // namespace zk::core

namespace zk::app {

// The DSP thread's step for one block of its queue, under the live-engine mutex: restarts what the hole
// before the block calls for, then pushes its samples into the live engine.
void pushBlockToLiveEngine(core::StreamingAcousticEngine& engine, const SampleBlock& block);

}  // namespace zk::app
