#pragma once

#include <array>
#include <complex>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/beamforming/beamforming_parameters.h"
#include "core/signal/frequency_band.h"
#include "core/signal/matrix_rows.h"

namespace zk::core {

/// What a render needs of the engine's configuration. Immutable: configure and a speed-of-sound
/// change install a new one, so a render never sees its Beamformer freed or changed under it.
struct MapRenderContext {
    std::shared_ptr<const Beamformer> beamformer;
    double horizontalSpanDeg = 64.0;  // camera field of view, 64 x 48 degrees without a camera block
    double verticalSpanDeg = 48.0;
    std::uint32_t sampleRateHz = 0;
    std::uint64_t channelCount = 0;
    std::uint64_t frameSize = 0;
    bool useBinRotation = false;
};

/// A delay-and-sum map due on the map thread: copies of the streaming DAS sums at publication.
struct MapWorkItem {
    std::vector<double> beamSums;  // F x G, index b * G + g
    std::vector<double> diagonalSums;
    std::vector<double> frequencies;
    std::vector<double> horizontalAxis;
    std::vector<double> verticalAxis;
    double representativeFrequencyHz = 0.0;
    bool removeCsmDiagonal = true;
    std::uint32_t revision = 0;  // low 32 bits of the parameter snapshot's revision
    std::uint64_t generation = 0;
    std::shared_ptr<const MapRenderContext> context;
};

/// A map of any other algorithm due on the map thread: the band's matrices at publication.
struct PendingMapJob {
    std::vector<MatrixRows> rows;  // one full Hermitian matrix per band bin, in band order
    FrequencyBand band;
    std::shared_ptr<const BeamformingParameters> parameters;
    // The independent frames the first matrix's average is worth (averagedSnapshotCount).
    std::uint64_t frameCount = 0;
    std::uint64_t generation = 0;
    std::shared_ptr<const MapRenderContext> context;
};

/// One STFT frame for noise-floor calibration: M x (frameSize/2 + 1) values, channel-major (channel c
/// holds bins 0 .. frameSize/2 at [c x bins, (c + 1) x bins)).
struct NoiseCaptureBlock {
    std::vector<std::complex<double>> values;
};

/// Upper bounds in microseconds of the map latency buckets; a sample goes to the first bound at least
/// as large as it.
inline constexpr std::array<std::uint64_t, 12> mapLatencyBucketBoundsUs{
    250,   500,   1000,  2000,   4000,   8000,
    16000, 32000, 64000, 128000, 256000, std::numeric_limits<std::uint64_t>::max()};

struct MapLatencyStats {
    std::uint64_t mapCount = 0;
    std::uint64_t sampleCount = 0;
    double meanMs = 0.0;
    double p50Ms = 0.0;
    double p95Ms = 0.0;
    double p99Ms = 0.0;
    double maxMs = 0.0;
    std::uint64_t supersededJobs = 0;
};

}  // namespace zk::core
