#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "core/beamforming/band_matrix.h"
#include "core/beamforming/heatmap_grid.h"
#include "core/storage/analysis_run_store.h"
#include "core/storage/device_profile.h"
#include "core/storage/measurement_store.h"

namespace zk::app {

// Everything a Full Recompute works from; built on the GUI thread and owned by the worker afterwards.
struct FullRecomputeJob {
    core::MeasurementRecord measurement;
    core::DeviceProfile profile;      // the Measurement's frozen profile
    core::BandMatrixRequest request;  // totalFrames is filled by the worker
    std::uint64_t windowStartFrame = 0;
    std::string analysisId;
    // The frame size of a noise floor that subtraction would have applied but that was calibrated with
    // other frames (its bins are not the run's); 0 when none was left out for that reason.
    std::uint64_t unmatchedNoiseFloorFrameSize = 0;
};

// What the worker hands back; the band mode and the window are added by the GUI thread at the end.
struct FullRecomputeOutcome {
    core::AnalysisRunParameters parameters;
    core::AnalysisRunProvenance provenance;
    core::HeatmapGrid map;
};

// How the worker talks to its owner; every callable runs on the worker thread.
struct FullRecomputeHooks {
    std::function<bool()> cancelled;       // also polled by the render's own threads: must be thread-safe
    std::function<void(double)> progress;  // fraction 0..1 of the window consumed
    std::function<void()> cacheHit;        // the fast path was taken
    std::function<void(const QString&)> cacheBroken;  // an entry exists but cannot be read: recomputing
    std::function<void(const QString&)> cacheWriteFailed;
};

// Verifies the frozen inputs, renders from the derived cache or recomputes and caches the band matrix,
// and verifies the raw file again. Throws std::exception with the failure's text; a cancel ends it
// within one chunk of raw frames, or between the render's bins, iterations and blocks, with the
// recompute's cancellation text.
FullRecomputeOutcome runFullRecompute(const FullRecomputeJob& job, const FullRecomputeHooks& hooks);

}  // namespace zk::app
