#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/beamforming/beamforming_parameters.h"
#include "core/beamforming/heatmap_grid.h"
#include "core/signal/frequency_band.h"
#include "core/signal/matrix_rows.h"
#include "core/storage/device_profile.h"
#include "core/streaming/noise_floor_profile.h"
#include "core/streaming/raw_sample_source.h"

namespace zk::core {

// The frozen matrix of an AnalysisRun: the plain sums R = sum x x^H over stftFrames spectral frames of
// a Measurement window, one M x M matrix per band bin in the order of band.binIndices.
struct BandMatrix {
    FrequencyBand band;  // resolved for the request; default parameters when new
    std::vector<MatrixRows> matrices;
    std::uint64_t inputFrames = 0;  // raw frames consumed from the source
    std::uint64_t stftFrames = 0;   // spectral frames summed into every matrix
};

// What a recompute of a Measurement window asks for. The source is positioned at the window start by
// the caller. frameSize, hopSize and gridStep have no usable default: the caller sets them.
struct BandMatrixRequest {
    std::uint64_t frameSize = 0;  // STFT length in samples, a power of two
    std::uint64_t hopSize = 0;    // 1 .. frameSize
    FrequencyBandParameters band;
    std::uint64_t totalFrames = 0;       // frames after the source's position: the progress denominator
    std::uint64_t windowFrameCount = 0;  // frames to consume; 0 = until the source ends
    BeamformingParameters parameters;
    double gridStep = 0.0;                                // degrees, both directions of the camera grid
    std::shared_ptr<const NoiseFloorProfile> noiseFloor;  // the active one, or empty
};

struct BandMatrixMapResult {
    HeatmapGrid map;
    BandMatrix bandMatrix;  // never noise-subtracted
    bool noiseSubtracted = false;
};

// Called with the fraction 0..1 of the window consumed; may be empty.
using BandMatrixProgress = std::function<void(double)>;
// Polled once per chunk before each read; true ends the computation. May be empty.
using BandMatrixCancel = std::function<bool()>;

// Reads the window in chunks of 2048 frames and sums the cross-spectral matrix of every band bin over
// all spectral frames; memory stays constant in the window length. Both callables run on the calling
// thread and are released when the call returns. Throws std::invalid_argument for a bad profile,
// framing or band, std::runtime_error "Band matrix computation cancelled", "recompute received
// incomplete wire frames", "Measurement is too short for recompute" and the like.
BandMatrix computeBandMatrix(IRawSampleSource& source, const DeviceProfile& profile,
                             const BandMatrixRequest& request, BandMatrixProgress progress,
                             BandMatrixCancel cancel);

// The map of a frozen band matrix on the profile's camera grid (mapFieldOfView: its field of view, else
// 64 x 48 degrees) at gridStep degrees, made from the per-frame mean of every sum (perFrameMean), so its
// absolute level is that of one spectral frame whatever the window length. Throws std::invalid_argument for a
// bad profile, an empty matrix, bad parameters or a grid step outside 0.25 .. 10. The algorithm polls cancel
// (render_cancel.h: it may be called from several threads at once) between bins, iterations and long steps;
// true ends the render with std::runtime_error "Band matrix computation cancelled".
HeatmapGrid renderBandMatrixMap(const BandMatrix& bandMatrix, const DeviceProfile& profile,
                                const BeamformingParameters& parameters, double gridStep,
                                const BandMatrixCancel& cancel = {});

// The map of a band matrix as a recompute with the request makes it (its parameters and grid step), from
// noise-subtracted matrices when the request carries a usable, enabled noise floor and the subtraction
// succeeds, else from the matrices as they are. Serves a band matrix read from the derived cache as well
// as one just computed; the result holds the band matrix unchanged. Throws as renderBandMatrixMap does.
BandMatrixMapResult renderBandMatrixRequest(BandMatrix bandMatrix, const DeviceProfile& profile,
                                            const BandMatrixRequest& request,
                                            const BandMatrixCancel& cancel = {});

// computeBandMatrix, then renderBandMatrixRequest; cancel serves both. Throws as the two calls do; a camera
// grid the render would refuse ("invalid camera grid") is refused before any sample is read.
BandMatrixMapResult recomputeBandMatrixMap(IRawSampleSource& source, const DeviceProfile& profile,
                                           const BandMatrixRequest& request, BandMatrixProgress progress,
                                           BandMatrixCancel cancel);

// Escapes a text for the inside of a JSON string the way the derived-matrix cache keys and the
// export need it: each double quote and each backslash gets a backslash before it; every other byte,
// control characters and non-ASCII bytes included, passes unchanged. Stored cache keys depend on
// exactly this text, so it must not change.
std::string escapeJsonString(std::string_view text);

}  // namespace zk::core
