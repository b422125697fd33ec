#pragma once

#include <cstdint>

#include "core/beamforming/heatmap_grid.h"
#include "core/storage/device_profile.h"
#include "core/streaming/raw_sample_source.h"
#include "core/streaming/synthetic_source.h"

namespace zk::core {

/// What one narrowband delay-and-sum map is made from. The defaults are the one-shot run's fixed
/// values; it sets bin to lround(frequencyHz / sampleRateHz x 256) and the extents from the camera's
/// field of view.
struct SourceAnalysisSettings {
    std::uint64_t frameSize = 256;
    std::uint64_t hopSize = 128;
    std::uint64_t frameCount = 1024;  // wire frames to read
    std::uint64_t bin = 0;            // FFT bin of the map
    double frequencyHz = 0.0;         // steering frequency of the map
    double azimuthMinDeg = -32.0;
    double azimuthMaxDeg = 32.0;
    std::uint64_t azimuthCount = 65;  // points of a scan
    double elevationMinDeg = -24.0;
    double elevationMaxDeg = 24.0;
    std::uint64_t elevationCount = 49;  // points of a scan; 0 scans one line at elevation 0
    bool cameraGrid = true;             // the camera grid at 1 degree steps instead of a scan
    bool removeCsmDiagonal = false;
    bool tolerateShortInput = false;  // one read only; too little data gives an empty map
};

/// Reads s.frameCount frames from a configured and started source (at most 200 reads, and none after a
/// read that brings nothing), sums the cross-spectral matrix of bin s.bin over every FFT frame and
/// beamforms its per-frame mean with 343 m/s, so the level is that of one frame. Runs on the
/// caller's thread. std::invalid_argument "invalid device profile" and "frequency bin is out of range",
/// std::runtime_error "source returned no complete frames" and "not enough synthetic frames for
/// analysis" (short input gives the default HeatmapGrid instead with tolerateShortInput); errors of the
/// source, framer, matrix and map pass through.
[[nodiscard]] HeatmapGrid runSourceAnalysis(IRawSampleSource& source, const DeviceProfile& profile,
                                            const SourceAnalysisSettings& s);

/// The whole chain on a SyntheticSource of the given settings: a plane wave from a known direction must
/// peak in that direction. The source's constructor checks apply.
[[nodiscard]] HeatmapGrid runSyntheticSelfCheck(const DeviceProfile& profile,
                                                const SyntheticSourceSettings& synthetic,
                                                const SourceAnalysisSettings& s);

}  // namespace zk::core
