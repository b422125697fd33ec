#include "core/streaming/source_analysis.h"

#include <limits>
#include <stdexcept>
#include <utility>
#include <vector>

#include "core/beamforming/beamformer.h"
#include "core/signal/cross_spectral_matrix.h"
#include "core/signal/interleaved_sample_buffer.h"
#include "core/signal/spectral_framer.h"

namespace zk::core {

namespace {

// Bounds the read loop of a source that trickles: a live source waits at most its time-out per read.
constexpr int kMaxReads = 200;
constexpr double kSpeedOfSoundMps = 343.0;

std::vector<std::int16_t> readInput(IRawSampleSource& source, std::uint64_t wires,
                                    const SourceAnalysisSettings& s) {
    if (s.tolerateShortInput) return source.readFrames(s.frameCount);
    const std::uint64_t want = s.frameCount > std::numeric_limits<std::uint64_t>::max() / wires
                                   ? std::numeric_limits<std::uint64_t>::max()
                                   : s.frameCount * wires;
    std::vector<std::int16_t> samples;
    for (int reads = 0; samples.size() < want && reads < kMaxReads; ++reads) {
        const std::vector<std::int16_t> block = source.readFrames((want - samples.size()) / wires);
        // A read that brings nothing waited its whole time-out: a silent source would hold the
        // caller for every read left.
        if (block.empty()) break;
        samples.insert(samples.end(), block.begin(), block.end());
    }
    return samples;
}

}  // namespace

HeatmapGrid runSourceAnalysis(IRawSampleSource& source, const DeviceProfile& profile,
                              const SourceAnalysisSettings& s) {
    if (!profile.isValid()) throw std::invalid_argument("invalid device profile");
    if (s.bin >= s.frameSize) throw std::invalid_argument("frequency bin is out of range");
    const std::uint64_t wires = profile.wireChannelCount;

    std::vector<std::int16_t> wire = readInput(source, wires, s);
    const ChannelGatherMap map = buildChannelGatherMap(
        std::vector<std::uint64_t>(profile.logicalToWire.begin(), profile.logicalToWire.end()));
    const std::uint64_t frames = wire.size() / wires;
    if (frames == 0) {
        if (s.tolerateShortInput) return HeatmapGrid{};
        throw std::runtime_error("source returned no complete frames");
    }
    if (frames < s.frameSize && s.tolerateShortInput) return HeatmapGrid{};

    wire.resize(static_cast<std::size_t>(frames * wires));
    const std::uint64_t channels = profile.channelCount;
    std::vector<std::int16_t> logical(static_cast<std::size_t>(frames * channels));
    gatherLogicalChannels(map, wire, logical, wires);

    const SpectralFramer framer(s.frameSize, s.hopSize);
    const std::vector<SpectralFrame> spectra = framer.frame(logical, channels);
    if (spectra.empty()) throw std::runtime_error("not enough synthetic frames for analysis");
    CrossSpectralMatrix matrix(channels);
    for (const SpectralFrame& frame : spectra) matrix.addFrameBins(frame, s.bin, s.bin + 1);

    std::vector<MicrophonePosition> positions;
    positions.reserve(profile.microphones.size());
    for (const MicrophoneChannel& mic : profile.microphones) positions.push_back({mic.x, mic.y, mic.z});
    const Beamformer beamformer(std::move(positions), kSpeedOfSoundMps);
    const MatrixRows rows = perFrameMean(matrix.toRows(), matrix.frameCount());

    if (s.cameraGrid) {
        return beamformer.cameraGridMap(
            rows, s.frequencyHz, s.azimuthMaxDeg - s.azimuthMinDeg, s.elevationMaxDeg - s.elevationMinDeg,
            (s.azimuthMinDeg + s.azimuthMaxDeg) / 2.0, (s.elevationMinDeg + s.elevationMaxDeg) / 2.0, 1.0,
            1.0, s.removeCsmDiagonal);
    }
    if (s.elevationCount != 0) {
        return beamformer.azimuthElevationScan(rows, s.frequencyHz, s.azimuthMinDeg, s.azimuthMaxDeg,
                                               s.azimuthCount, s.elevationMinDeg, s.elevationMaxDeg,
                                               s.elevationCount, s.removeCsmDiagonal);
    }
    return beamformer.scanMap(rows, s.frequencyHz, s.azimuthMinDeg, s.azimuthMaxDeg, s.azimuthCount, 0.0,
                              s.removeCsmDiagonal);
}

HeatmapGrid runSyntheticSelfCheck(const DeviceProfile& profile, const SyntheticSourceSettings& synthetic,
                                  const SourceAnalysisSettings& s) {
    SyntheticSource source(synthetic);
    source.configure(DeviceProfile(profile));
    source.start();
    return runSourceAnalysis(source, profile, s);
}

}  // namespace zk::core
