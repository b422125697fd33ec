#include "app/live_dsp_step.h"

#include "core/streaming/streaming_acoustic_engine.h"

namespace zk::app {

void pushBlockToLiveEngine(core::StreamingAcousticEngine& engine, const SampleBlock& block) {
    // No spectral frame may span missing samples. Samples the array's stream lost, or a silence, may
    // come from an array that changed meanwhile: the averages start anew. Blocks this program dropped
    // because the DSP fell behind leave frames of the same scene on both sides, so the averages go on
    // and a DSP that stays behind still publishes settled maps, only fewer of them.
    if (block.gap || block.afterSilence) {
        engine.restartContinuityWindow();
    } else if (block.dropped) {
        engine.restartFraming();
    }
    engine.pushWireFrames(block.samples);
}

}  // namespace zk::app
